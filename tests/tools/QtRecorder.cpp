// Receives typed text in a Qt 6 text field (on X11 or Wayland) and reports it like
// tests/wayland/WaylandRecorder.py:
// READY once the window is active, then "TEXT <hex of UTF-8>" at each end marker (U+E000).
#include <QApplication>
#include <QPlainTextEdit>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QPlainTextEdit edit;
    bool ready = false;
    // The document's text, rather than the changes Qt reports: a dead key's change covers the
    // whole paragraph.
    qsizetype taken = 0;  // up to and with the last marker reported
    QObject::connect(&edit, &QPlainTextEdit::textChanged, [&] {
        // Paragraph breaks come back as U+2029: they were line breaks.
        const QString text = edit.document()->toRawText().replace(QChar(0x2029), u'\n');
        for (qsizetype marker; (marker = text.indexOf(QChar(0xE000), taken)) >= 0;
             taken = marker + 1) {
            std::printf("TEXT %s\n", text.mid(taken, marker - taken).toUtf8().toHex().constData());
            std::fflush(stdout);
        }
    });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [&](QWindow* window) {
        if (window != nullptr && !ready) {
            ready = true;
            std::printf("READY\n");
            std::fflush(stdout);
        }
    });
    edit.setWindowTitle("Quenby Qt recorder");
    edit.resize(600, 400);
    edit.show();
    return QApplication::exec();
}
