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
#include <map>

namespace {

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
    std::map<const char*, QWidget*> fields;
    const auto line = [&](const char* name, const QString& text, QRect place) {
        auto* edit = new QLineEdit(text, &window);
        edit->setGeometry(place);
        QObject::connect(edit, &QLineEdit::textChanged,
                         [name](const QString& t) { Watch(name, t); });
        return static_cast<QLineEdit*>(fields[name] = edit);
    };

    line("line", "", {20, 20, 200, 30});
    line("readonly", "fixed", {20, 260, 200, 30})->setReadOnly(true);
    line("disabled", "off", {240, 260, 150, 30})->setEnabled(false);
    line("covered", "under", {420, 20, 180, 30});
    auto* plain = new QPlainTextEdit("old\ncontent", &window);
    plain->setGeometry(20, 70, 300, 120);
    QObject::connect(plain, &QPlainTextEdit::textChanged,
                     [plain] { Watch("plain", plain->toPlainText()); });
    fields["plain"] = plain;
    fields["button"] = new QPushButton("Button", &window);
    fields["button"]->setGeometry(20, 210, 100, 30);

    window.show();
    QTimer::singleShot(500, [&] {
        for (const auto& [name, widget] : fields) {
            const QPoint middle = widget->mapToGlobal(widget->rect().center());
            std::printf("FIELD %s %d %d\n", name, middle.x(), middle.y());
        }
        std::printf("READY\n");
        std::fflush(stdout);
    });
    return application.exec();
}
