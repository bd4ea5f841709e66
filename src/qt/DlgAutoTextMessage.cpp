#include "qt/DlgAutoTextMessage.h"

#include <QIcon>
#include <QLabel>
#include <QRegularExpressionValidator>

#include "qt/QtText.h"

namespace quenby {

CDlgAutoTextMessage::CDlgAutoTextMessage(CMessageEditorPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_presenter(presenter) {
    m_layout = std::make_unique<CDialogLayout>(this, QSize(337, 119));
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    auto label = [this](const char* text, QRect units, QWidget* buddy = nullptr) {
        auto* l = new QLabel(tr(text), this);
        if (buddy != nullptr) {
            l->setBuddy(buddy);
        }
        m_layout->Add(l, units);
    };
    auto number = [&](QRect units) {
        auto* edit = new QLineEdit(this);
        edit->setValidator(digits);
        m_layout->Add(edit, units);
        return edit;
    };
    // Created in the template's order, which is also the tab order.
    m_pText = new QLineEdit(this);
    label("&Message :", QRect(7, 16, 34, 8), m_pText);
    m_layout->Add(m_pText, QRect(45, 14, 284, 14), 0, 0, 100, 0);
    m_pSeconds = number(QRect(114, 32, 40, 14));
    label("&Delay Before Typing Message :", QRect(7, 35, 100, 8), m_pSeconds);
    label("Second(s)", QRect(157, 35, 33, 8));
    m_pMilliSeconds = number(QRect(201, 32, 40, 14));
    label("Milli Second(s)", QRect(244, 35, 46, 8));
    label("Random Time Delay between Characters  (in Milli Second(s)) :", QRect(7, 59, 195, 8));
    m_pCharDelayMin = number(QRect(221, 56, 40, 14));
    label("&", QRect(266, 59, 8, 8));  // no mnemonic here: "&" is the text itself
    m_pCharDelayMax = number(QRect(279, 56, 40, 14));
    m_pEnterBefore = new QCheckBox(tr("Press Enter &Before Typing"), this);
    m_layout->Add(m_pEnterBefore, QRect(7, 80, 98, 10), 0, 100);
    m_pEnterAfter = new QCheckBox(tr("Press Enter &After Typing"), this);
    m_layout->Add(m_pEnterAfter, QRect(7, 102, 92, 10), 0, 100);
    m_pOk = new QPushButton(tr("OK (Enter)"), this);
    m_pOk->setDefault(true);
    m_layout->Add(m_pOk, QRect(170, 80, 78, 32), 100, 100);
    m_pCancel = new QPushButton(tr("Cancel (Esc)"), this);
    m_layout->Add(m_pCancel, QRect(253, 80, 78, 32), 100, 100);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);

    const MessageEditorFields fields = m_presenter.OnInitDialog();
    m_pText->setText(ToQString(fields.m_strText));
    m_strShownText = m_pText->text();
    // textEdited comes from the user only (typing, pasting), never from setText.
    connect(m_pText, &QLineEdit::textEdited, this, [this](const QString& edited) {
        const QString text =
            ToQString(CMessageEditorPresenter::OnTextEdited(ToU16(m_strShownText), ToU16(edited)));
        if (text != edited) {
            const int cursor = m_pText->cursorPosition();
            m_pText->setText(text);
            m_pText->setCursorPosition(cursor - static_cast<int>(edited.size() - text.size()));
        }
        m_strShownText = text;
    });
    m_pSeconds->setText(ToQString(fields.m_strSeconds));
    m_pMilliSeconds->setText(ToQString(fields.m_strMilliSeconds));
    m_pCharDelayMin->setText(ToQString(fields.m_strCharDelayMin));
    m_pCharDelayMax->setText(ToQString(fields.m_strCharDelayMax));
    m_pEnterBefore->setChecked(fields.m_bEnterBefore);
    m_pEnterAfter->setChecked(fields.m_bEnterAfter);

    setWindowTitle(ToQString(m_presenter.Caption()));
    setWindowIcon(QIcon(":/icons/quenby-idle.svg"));
    resize(m_layout->InitialSize());
    setMinimumSize(m_layout->InitialSize());
    if (const auto placement = m_presenter.PlacementToRestore()) {
        restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement->data()),
                                   static_cast<qsizetype>(placement->size())));
    }
    m_pText->setFocus();
}

void CDlgAutoTextMessage::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_layout->Apply();
}

MessageEditorFields CDlgAutoTextMessage::Fields() const {
    return {ToU16(m_pText->text()),         ToU16(m_pSeconds->text()),
            ToU16(m_pMilliSeconds->text()), ToU16(m_pCharDelayMin->text()),
            ToU16(m_pCharDelayMax->text()), m_pEnterBefore->isChecked(),
            m_pEnterAfter->isChecked()};
}

QLineEdit* CDlgAutoTextMessage::Field(EEditorField field) const {
    switch (field) {
        case EEditorField::Seconds:
            return m_pSeconds;
        case EEditorField::MilliSeconds:
            return m_pMilliSeconds;
        case EEditorField::CharDelayMin:
            return m_pCharDelayMin;
        case EEditorField::CharDelayMax:
            return m_pCharDelayMax;
        default:
            return m_pText;
    }
}

void CDlgAutoTextMessage::accept() {
    const EditorOkResult result = m_presenter.OnOK(Fields());
    if (result.m_bAccepted) {
        QDialog::accept();
        return;
    }
    ShowMessageBox(this, result.m_strMessage, EMessageIcon::Information, EMessageButtons::Ok);
    if (result.m_focus) {
        Field(*result.m_focus)->setFocus();
        Field(*result.m_focus)->selectAll();
    }
}

void CDlgAutoTextMessage::done(int result) {
    const QByteArray geometry = saveGeometry();
    m_presenter.OnDestroy(std::vector<std::uint8_t>(geometry.begin(), geometry.end()));
    QDialog::done(result);
}

}  // namespace quenby
