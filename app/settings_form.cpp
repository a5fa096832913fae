#include "app/settings_form.h"

#include <algorithm>

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>

#include "app/guard.h"
#include "app/settings.h"
#include "platform/auto_select.h"

TSettingsForm *SettingsForm = nullptr;

namespace {
// A spin edit that takes any number while it is typed and clamps it to the range once the text is
// interpreted (the field is left, Enter is pressed): QSpinBox alone refuses the keystroke, so "300"
// with a maximum of 255 would stay "30".
class ClampingSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString &input, int &) const override
    {
        const QString t = input.trimmed();
        if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
            return QValidator::Intermediate;
        for (qsizetype i = 0; i < t.size(); ++i)
            if (!t[i].isDigit() && !(i == 0 && (t[i] == u'-' || t[i] == u'+')))
                return QValidator::Invalid;
        bool ok = false;
        const int v = t.toInt(&ok);
        return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }

    void fixup(QString &input) const override
    {
        const QString t = input.trimmed();
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok);
        int clamped = minimum();
        if (ok)
            clamped = int(std::clamp<qlonglong>(v, minimum(), maximum()));
        else if (!t.isEmpty() && t != QLatin1String("-") && t != QLatin1String("+"))
            clamped = t.startsWith(u'-') ? minimum() : maximum(); // too many digits for a number
        input = QString::number(clamped);
    }
};

QLabel *MakeBoldLabel(QWidget *parent, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->adjustSize();
    label->move(left, top);
    return label;
}

QSpinBox *MakeSpinEdit(QWidget *parent, int top, int minValue, int maxValue, int step)
{
    auto *spin = new ClampingSpinBox(parent);
    spin->setGeometry(352, top, 145, 22);
    spin->setRange(minValue, maxValue);
    spin->setSingleStep(step);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    SelectAllOnFocus(spin); // also as the dialog opens: the first key replaces the value
    return spin;
}

QPushButton *MakeButton(QWidget *parent, const QString &caption, QStyle::StandardPixmap glyph, QRect place)
{
    auto *button = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
    button->setGeometry(place);
    button->setIconSize(QSize(12, 12));
    return button;
}
} // namespace

TSettingsForm::TSettingsForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Настройки"));
    setFixedSize(523, 193);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(0, 0, 523, 193);
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setFrameShadow(QFrame::Plain);
    Panel1->setLineWidth(1);
    QPalette p = Panel1->palette();
    p.setColor(QPalette::Window, QColor(0xA6, 0xC1, 0xEA)); // 0xEAC1A6
    Panel1->setPalette(p);
    Panel1->setAutoFillBackground(true);

    Label2 = MakeBoldLabel(Panel1, QStringLiteral("Номер порта для соединения с USB-to-CAN:"), 16, 27);
    CSpinEdit_Device = MakeSpinEdit(Panel1, 24, 1, 255, 1);
    Label5 = MakeBoldLabel(Panel1, QStringLiteral("Время показа заставки \"Обработка запроса\" (мс):"), 16, 67);
    CSpinEdit_ShowLoading = MakeSpinEdit(Panel1, 64, 1, 10000, 100);

    CheckBox_WarningDefaultData =
        new QCheckBox(QStringLiteral("Предупреждение о данных взятых по умолчанию :"), Panel1);
    QFont bold = CheckBox_WarningDefaultData->font();
    bold.setBold(true);
    CheckBox_WarningDefaultData->setFont(bold);
    CheckBox_WarningDefaultData->setLayoutDirection(Qt::RightToLeft); // its text on the left of the box
    CheckBox_WarningDefaultData->adjustSize();
    CheckBox_WarningDefaultData->move(16, 105);
    CheckBox_WarningDefaultData->hide();

    btnOK = MakeButton(Panel1, QStringLiteral("Применить"), QStyle::SP_DialogApplyButton, {157, 144, 89, 25});
    btnOK->setDefault(true);
    btnCancel = MakeButton(Panel1, QStringLiteral(" Отмена "), QStyle::SP_DialogCancelButton, {275, 144, 81, 25});

    setTabOrder(CSpinEdit_Device, CSpinEdit_ShowLoading);
    setTabOrder(CSpinEdit_ShowLoading, btnOK);
    setTabOrder(btnOK, btnCancel);

    connect(btnOK, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnCancelClick(); }); });
}

void TSettingsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void TSettingsForm::keyPressEvent(QKeyEvent *event)
{
    // Only " Отмена " and the close box leave without storing; Esc does nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSettingsForm::FormShow()
{
    CSpinEdit_Device->setValue(Usb_NoDevice); // a value off the range shows as its nearest bound
    CSpinEdit_ShowLoading->setValue(ShowLoading);
    CheckBox_WarningDefaultData->setChecked(WarningDefaultData);
}

void TSettingsForm::btnOKClick()
{
    // A number still being typed counts as it would once the field is left.
    CSpinEdit_Device->interpretText();
    CSpinEdit_ShowLoading->interpretText();
    Usb_NoDevice = CSpinEdit_Device->value();
    ShowLoading = CSpinEdit_ShowLoading->value();
    WarningDefaultData = CheckBox_WarningDefaultData->isChecked();
    SaveSettings();
    accept();
}

void TSettingsForm::btnCancelClick() { reject(); }
