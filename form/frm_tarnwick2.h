#pragma once

#include "form/form_commands.h"
#include "form/qt_form_platform.h"

#include <QDialog>

class QAbstractButton;
class QKeySequence;

#include <vector>

namespace tarnwick {

// The sales window, built from its layout table. It owns the keyboard model of
// a classic dialog and hands every button click to its command handler.
class frmTarnwick2 : public QDialog {
    Q_OBJECT

public:
    explicit frmTarnwick2(QWidget* parent = nullptr);

    const FormCommands& commands() const { return commands_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    QWidget* nextTabStop(QWidget* from, bool forward) const;
    void pressAccessKey(QAbstractButton& button);
    void focusNextWithAccessKey(const QKeySequence& key);

    std::vector<QWidget*> focusOrder_; // the controls that can take the focus, by tab position
    QtFormPlatform platform_;
    FormCommands commands_;
};

} // namespace tarnwick
