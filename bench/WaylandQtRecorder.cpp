// Receives typed text in a Qt 6 text field and reports it like tests/wayland/WaylandRecorder.py:
// READY once the window is active, then "TEXT <hex of UTF-8>" at each end marker (U+E000).
#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QPlainTextEdit edit;
    QString pending;
    bool ready = false;
    QObject::connect(edit.document(), &QTextDocument::contentsChange,
                     [&](int position, int /*removed*/, int added) {
                         if (added <= 0) {
                             return;
                         }
                         QTextCursor cursor(edit.document());
                         cursor.setPosition(position);
                         cursor.setPosition(position + added, QTextCursor::KeepAnchor);
                         // Paragraph breaks come back as U+2029: they were line breaks.
                         QString text = cursor.selectedText().replace(QChar(0x2029), u'\n');
                         for (QChar c : text) {
                             if (c != QChar(0xE000)) {
                                 pending += c;
                                 continue;
                             }
                             std::printf("TEXT %s\n", pending.toUtf8().toHex().constData());
                             std::fflush(stdout);
                             pending.clear();
                             QTimer::singleShot(0, &edit, [&edit] { edit.clear(); });
                         }
                     });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [&](QWindow* window) {
        if (window != nullptr && !ready) {
            ready = true;
            std::printf("READY\n");
            std::fflush(stdout);
        }
    });
    edit.resize(600, 400);
    edit.show();
    return QApplication::exec();
}
