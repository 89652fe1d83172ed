#include "form/qt/qt_form_platform.h"

#include "form/qt/form_printer.h"
#include "form/qt/user_money_format.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <stdexcept>
#include <string_view>

namespace tarnwick {

namespace {

template <typename Control> Control& child(const QDialog& window, std::string_view name)
{
    auto* control = window.findChild<Control*>(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    if (!control)
        throw std::logic_error("the window has no control " + std::string(name));
    return *control;
}

} // namespace

QtFormPlatform::QtFormPlatform(QDialog& window) : window_(window) { }

QRadioButton& QtFormPlatform::option(SalesOption wanted) const
{
    return child<QRadioButton>(window_, controlName(wanted));
}

QLabel& QtFormPlatform::label(AmountLabel label) const
{
    return child<QLabel>(window_, controlName(label));
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

void QtFormPlatform::announce(const std::string& text)
{
    announcer_.announce(
        QString::fromStdString(text), {&label(AmountLabel::lblServicePrice), &label(AmountLabel::lblTotalDue)});
}

void QtFormPlatform::printForm()
{
    printWindowImage(window_);
}

void QtFormPlatform::showMessage(int icon, const QString& title, const QString& text)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text, QMessageBox::Ok, &window_);
    // The window's palette, which may have been made legible for a dark desktop.
    box.setAttribute(Qt::WA_WindowPropagation);
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
