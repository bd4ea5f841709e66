// A Qt window for the set-text tests. It prints, one line each:
//   FIELD <name> <x> <y>     the screen point at the middle of each field
//   READY                    once shown
//   CHANGED <name> <hex>     each change of a field's text, from the field's own signal
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

void Report(const char* name, QWidget* widget) {
    const QPoint middle = widget->mapToGlobal(widget->rect().center());
    std::printf("FIELD %s %d %d\n", name, middle.x(), middle.y());
}

void Watch(const char* name, const QString& text) {
    std::printf("CHANGED %s %s\n", name, text.toUtf8().toHex().constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Quenby set-text target");
    window.setGeometry(0, 0, 640, 360);

    auto* line = new QLineEdit(&window);
    line->setGeometry(20, 20, 200, 30);
    auto* plain = new QPlainTextEdit(&window);
    plain->setGeometry(20, 70, 300, 120);
    plain->setPlainText("old\ncontent");
    auto* button = new QPushButton("Button", &window);
    button->setGeometry(20, 210, 100, 30);
    auto* readOnly = new QLineEdit("fixed", &window);
    readOnly->setReadOnly(true);
    readOnly->setGeometry(20, 260, 200, 30);
    auto* disabled = new QLineEdit("off", &window);
    disabled->setEnabled(false);
    disabled->setGeometry(240, 260, 150, 30);
    auto* covered = new QLineEdit("under", &window);
    covered->setGeometry(420, 20, 180, 30);

    QObject::connect(line, &QLineEdit::textChanged, [](const QString& t) { Watch("line", t); });
    QObject::connect(plain, &QPlainTextEdit::textChanged,
                     [plain] { Watch("plain", plain->toPlainText()); });
    QObject::connect(readOnly, &QLineEdit::textChanged,
                     [](const QString& t) { Watch("readonly", t); });
    QObject::connect(disabled, &QLineEdit::textChanged,
                     [](const QString& t) { Watch("disabled", t); });
    QObject::connect(covered, &QLineEdit::textChanged,
                     [](const QString& t) { Watch("covered", t); });

    window.show();
    QTimer::singleShot(500, [&] {
        Report("line", line);
        Report("plain", plain);
        Report("button", button);
        Report("readonly", readOnly);
        Report("disabled", disabled);
        Report("covered", covered);
        std::printf("READY\n");
        std::fflush(stdout);
    });
    return application.exec();
}
