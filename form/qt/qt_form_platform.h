#pragma once

#include "form/form_platform.h"
#include "form/qt/screen_reader_announcer.h"

#include <QPointer>

class QDialog;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tarnwick {

// The platform operations of the command handlers, carried out on the Qt window.
class QtFormPlatform final : public FormPlatform {
public:
    // Finds the controls by their names in `window`, which outlives this object.
    explicit QtFormPlatform(QDialog& window);

    bool isSelected(SalesOption option) const override;
    void select(SalesOption option) override;
    std::string labelText(AmountLabel label) const override;
    void setLabelText(AmountLabel label, const std::string& text) override;
    void focusCalculate() override;
    void announce(const std::string& text) override;
    void printForm() override;
    void showInformation(const std::string& title, const std::string& text) override;
    void reportRunTimeError(const std::string& message) override;
    void endProgram() override;
    MoneyFormat moneyFormat() const override;

private:
    QRadioButton& option(SalesOption option) const;
    QLabel& label(AmountLabel label) const;
    void showMessage(int icon, const QString& title, const QString& text);

    QDialog& window_;
    ScreenReaderAnnouncer announcer_;
};

} // namespace tarnwick
