#include "qt/DlgAutoTextMessage.h"

#include <QIcon>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <limits>

#include "qt/QtText.h"

namespace quenby {

CDlgAutoTextMessage::CDlgAutoTextMessage(CMessageEditorPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_presenter(presenter) {
    m_layout = std::make_unique<CDialogLayout>(
        this, QSize(kEditorDialog.m_iWidth, kEditorDialog.m_iHeight));
    m_layout->Build(kEditorDialog);
    m_pText = m_layout->Control<QLineEdit>(1002);
    // A message may be as long as a data file holds (2^31 - 1 code units): Qt's default maximum
    // of 32767 would cut a longer one without a word, and OK would save it cut.
    m_pText->setMaxLength(std::numeric_limits<int>::max());
    m_pSeconds = m_layout->Control<QLineEdit>(1003);
    m_pMilliSeconds = m_layout->Control<QLineEdit>(1004);
    m_pCharDelayMin = m_layout->Control<QLineEdit>(1022);
    m_pCharDelayMax = m_layout->Control<QLineEdit>(1023);
    m_pEnterBefore = m_layout->Control<QCheckBox>(1011);
    m_pEnterAfter = m_layout->Control<QCheckBox>(1012);
    m_pOk = m_layout->Control<QPushButton>(1);
    m_pCancel = m_layout->Control<QPushButton>(2);
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
