#pragma once
// The window's text cannot show before the system's font configuration is
// read and Qt's font database is filled: several milliseconds of work that
// otherwise falls on the first label the window measures. FontWarmUp does it
// on a second thread while the main thread connects to the display and
// builds the window.
//
//     FontWarmUp fonts;                  // before QApplication: the system's part
//     QApplication app(argc, argv);
//     const auto warm = fonts.ContinueWithQt();  // Qt's font database, joined
//                                                // when warm goes out of scope
//
// Whatever the thread has not done yet, Qt does on first use as before: the
// warm-up changes when the work is done, never what comes out of it.

#include <atomic>
#include <future>
#include <thread>

namespace zelk {

class FontWarmUp {
  public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Joins the thread when it goes out of scope. Hold it no longer than the
    // QApplication lives.
    class Join {
      public:
        explicit Join(FontWarmUp& warmUp) : warmUp_(warmUp) {}
        ~Join() { warmUp_.Finish(); }
        Join(const Join&) = delete;
        Join& operator=(const Join&) = delete;

      private:
        FontWarmUp& warmUp_;
    };

    // The QApplication exists: the thread may go on to Qt's font database.
    [[nodiscard]] Join ContinueWithQt();

    // Waits for the thread; without ContinueWithQt it ends after the
    // system's part. Safe to call more than once.
    void Finish();

    // Whether Qt's font database was filled by the thread (for tests).
    bool filledQtDatabase() const { return filledQt_.load(); }

  private:
    void Run(std::future<bool> withQt);

    std::promise<bool> withQt_;
    bool answered_ = false;
    std::atomic<bool> filledQt_{false};
    std::thread thread_;
};

// Reads the platform's font configuration, when it has one that Qt reads
// later in the same way (fontconfig); nothing elsewhere.
void WarmSystemFonts();

}  // namespace zelk
