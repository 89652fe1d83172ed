#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::monkey {

// Answers the message boxes of this thread as they open. A box runs a modal
// loop of its own; a thread timer's callback runs inside that loop, finds
// the box, checks it against what was expected and presses its OK button.
// Menus that open (they would wait for the operator) are closed as faults.
// One answerer at a time.
class BoxAnswerer {
public:
    // Boxes are expected to belong to `owner`.
    explicit BoxAnswerer(HWND owner);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // The next box is an information box with this title and text and one OK button.
    void expect(std::wstring title, std::wstring text);
    // No box is to open; true when the one expected did not open.
    bool forgetExpected();

    int boxesAnswered() const { return answered_; }
    // What went wrong since last asked, one sentence each, in UTF-8.
    std::vector<std::string> takeProblems();
    // Whether a box of this thread is open now.
    static bool anyBoxOpen();

    // Called by the timer; public for its callback.
    void answerOpenBoxes();

private:
    struct Expected {
        std::wstring title;
        std::wstring text;
    };
    void answer(HWND box);

    HWND owner_;
    UINT_PTR timer_ = 0;
    std::optional<Expected> expected_;
    int answered_ = 0;
    std::vector<std::string> problems_;
};

} // namespace tarnwick::monkey
