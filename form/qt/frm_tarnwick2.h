#pragma once

#include "form/form_commands.h"
#include "form/qt/qt_form_platform.h"

#include <QDialog>

class QAbstractButton;

#include "form/form_layout.h"
#include "form/keyboard_model.h"

#include <array>
#include <optional>
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
    std::optional<LayoutRow> rowOf(const QWidget* control) const;
    void pressButton(LayoutRow row);
    void pressAccessKey(QAbstractButton& button);
    void focusNextWithAccessKey(const QAbstractButton& button);

    std::array<QWidget*, formLayout.size()> controls_{}; // by row of the layout table
    std::vector<QWidget*> focusOrder_;                   // the controls that can take the focus, by tab position
    QtFormPlatform platform_;
    FormCommands commands_;
};

} // namespace tarnwick
