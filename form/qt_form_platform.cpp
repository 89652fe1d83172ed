#include "form/qt_form_platform.h"

#include "form/form_printer.h"
#include "form/user_money_format.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <stdexcept>
#include <utility>

namespace tarnwick {

namespace {

constexpr std::array<std::pair<SalesOption, const char*>, 7> optionControls{{
    {SalesOption::optMakeover, "optMakeover"},
    {SalesOption::optHairStyling, "optHairStyling"},
    {SalesOption::optManicure, "optManicure"},
    {SalesOption::optPermanentMakeup, "optPermanentMakeup"},
    {SalesOption::optNone, "optNone"},
    {SalesOption::opt10Percent, "opt10Percent"},
    {SalesOption::opt20Percent, "opt20Percent"},
}};

template <typename Control> Control& child(const QDialog& window, const char* name)
{
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    if (!control)
        throw std::logic_error(std::string("the window has no control ") + name);
    return *control;
}

} // namespace

QtFormPlatform::QtFormPlatform(QDialog& window) : window_(window) { }

QRadioButton& QtFormPlatform::option(SalesOption wanted) const
{
    for (const auto& [option, name] : optionControls) {
        if (option == wanted)
            return child<QRadioButton>(window_, name);
    }
    throw std::logic_error("an option without a control");
}

QLabel& QtFormPlatform::label(AmountLabel label) const
{
    return child<QLabel>(window_, label == AmountLabel::lblServicePrice ? "lblServicePrice" : "lblTotalDue");
}

bool QtFormPlatform::isSelected(SalesOption wanted) const
{
    return option(wanted).isChecked();
}

void QtFormPlatform::select(SalesOption wanted)
{
    option(wanted).setChecked(true);
}

std::string QtFormPlatform::labelText(AmountLabel wanted) const
{
    return label(wanted).text().toStdString();
}

void QtFormPlatform::setLabelText(AmountLabel wanted, const std::string& text)
{
    label(wanted).setText(QString::fromStdString(text));
}

void QtFormPlatform::focusCalculate()
{
    child<QPushButton>(window_, "cmdCalculate").setFocus(Qt::OtherFocusReason);
}

void QtFormPlatform::printForm()
{
    printWindowImage(window_);
}

void QtFormPlatform::showMessage(int icon, const QString& title, const QString& text)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text, QMessageBox::Ok, &window_);
    // Plain text: a currency symbol must never be taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
    // Without a window manager the X focus would otherwise fall to the root
    // window, and the operator's next key press would be lost.
    window_.activateWindow();
}

void QtFormPlatform::showInformation(const std::string& title, const std::string& text)
{
    showMessage(QMessageBox::Information, QString::fromStdString(title), QString::fromStdString(text));
}

void QtFormPlatform::reportRunTimeError(const std::string& message)
{
    showMessage(QMessageBox::Critical, window_.windowTitle(), QString::fromStdString(message));
}

void QtFormPlatform::endProgram()
{
    window_.close();
    QCoreApplication::exit(0);
}

MoneyFormat QtFormPlatform::moneyFormat() const
{
    return userMoneyFormat();
}

} // namespace tarnwick
