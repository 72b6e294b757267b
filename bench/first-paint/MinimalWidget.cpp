// The yardstick of bench/first_paint.sh: the least a Qt widget program does
// before its first paint. A window of one widget that fills itself with a
// colour, prints the time of its first paint (seconds since 1970) and ends.

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace {

class Plain : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor(200, 200, 255));
        if (!painted_) {
            painted_ = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("first-paint %.6f\n", std::chrono::duration<double>(now).count());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    }

  private:
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Plain window;
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
