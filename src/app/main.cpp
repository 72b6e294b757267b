// Process entry of the Zelk application.

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/CZelkApp.h"
#include "app/CommandLine.h"
#include "app/FontWarmUp.h"
#include "app/TerminationSignals.h"
#include "frame/AppInfo.h"
#include "frame/CZelkView.h"
#include "platform/Platform.h"

namespace {

// The overflow buttons of the menu bar and the toolbar take Qt's standard
// chevron icons from image files, and reading the first image file loads
// every image plugin (SVG, GIF, ICO, JPEG) before the window can show. The
// two chevrons are drawn here instead, in the palette's text colour.
class ChevronIcon : public QIconEngine {
  public:
    explicit ChevronIcon(bool horizontal) : horizontal_(horizontal) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QColor colour = QApplication::palette().color(
            mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(colour, 1.5));
        painter->translate(rect.center() + QPointF(0.5, 0.5));
        if (!horizontal_) {
            painter->rotate(90);
        }
        for (const qreal dx : {-3.0, 1.0}) {
            const QPointF chevron[] = {{dx - 1.5, -3.5}, {dx + 1.5, 0}, {dx - 1.5, 3.5}};
            painter->drawPolyline(chevron, 3);
        }
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new ChevronIcon(horizontal_); }

  private:
    bool horizontal_;
};

class StartupStyle : public QProxyStyle {
  public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (icon == SP_ToolBarHorizontalExtensionButton ||
            icon == SP_ToolBarVerticalExtensionButton) {
            return QIcon(new ChevronIcon(icon == SP_ToolBarHorizontalExtensionButton));
        }
        return QProxyStyle::standardIcon(icon, option, widget);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no display.
    if (argc == 2) {
        const char* a = argv[1];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0 ||
            std::strcmp(a, "/?") == 0) {
            std::fputs(zelk::UsageText().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("Zelk %s\n", zelk::kAppVersion);
            return 0;
        }
    }

    // Before anything else allocates: the window's start then writes its
    // small pieces of memory into one large page instead of some 300 pages
    // supplied one at a time.
    zelk::platform::PrepareHeapForStartUp();
    // Fonts are made ready on a second thread while the display connection
    // and the window are set up.
    zelk::FontWarmUp fonts;
    // The menu bar stays in the window, with its mnemonics, on every desktop:
    // no global menu bar, and no question to the session bus about one
    // before the window can show.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    const zelk::FontWarmUp::Join fontsReady = fonts.ContinueWithQt();
    QApplication::setStyle(new StartupStyle);  // the application owns it
    // Qt takes the process locale from the environment; numbers in the task's
    // files are always read and written with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    Q_INIT_RESOURCE(zelk);
    QApplication::setApplicationName(QString::fromLatin1(zelk::kSettingsApplication));
    QApplication::setOrganizationName(QString::fromLatin1(zelk::kSettingsOrganisation));
    QApplication::setApplicationVersion(QString::fromLatin1(zelk::kAppVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelk"));

    zelk::CZelkApp zelkApp;
    if (const std::optional<int> status = zelkApp.InitInstance(QApplication::arguments().mid(1))) {
        return *status;
    }
    // From here on a signal to end Zelk first stops a running fit, so that
    // its command can put FIT.INP back.
    zelk::TerminationSignals endSignals;
    QObject::connect(&endSignals, &zelk::TerminationSignals::received,
                     [&zelkApp](int signalNumber) { zelkApp.OnTerminationSignal(signalNumber); });
    endSignals.Install();
    // ZELK_REPORT_FIRST_PAINT set: print when the plot was first painted, as
    // seconds since 1970 on standard output, and end there (the start-up
    // benchmark, bench/first_paint.sh).
    if (qEnvironmentVariableIsSet("ZELK_REPORT_FIRST_PAINT")) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* view = window->findChild<zelk::CZelkView*>()) {
                QObject::connect(view, &zelk::CZelkView::firstPainted, [] {
                    const auto now = std::chrono::system_clock::now().time_since_epoch();
                    std::printf("first-paint %.6f\n", std::chrono::duration<double>(now).count());
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
        }
    }
    // The window icon is an SVG picture: reading it loads the SVG plugin and
    // renders it at several sizes, which the plot need not wait for. The
    // first paint is reported before the window's image goes to the screen,
    // so the icon waits one turn of the event loop more.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* view = window->findChild<zelk::CZelkView*>()) {
            QObject::connect(view, &zelk::CZelkView::firstPainted, [] {
                QTimer::singleShot(0, [] {
                    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zelk/zelk.svg")));
                });
            });
        }
    }
    const int status = QApplication::exec();
    zelkApp.ExitInstance();
    return status;
}
