#pragma once
// A small valid task in a temporary folder, made the current directory for
// the life of the object: two experimental curves of three points.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace zelk::testing {

class SampleTask {
  public:
    SampleTask() : previous_(QDir::currentPath()) {
        Write("START_A.INP",
              "Task of the GUI tests\n"
              "options file:\n"
              "opt.inp\n"
              "model file:\n"
              "model.inp\n"
              "1 experimental data\n"
              "experimental file:\n"
              "exp.dat\n"
              "20  80\n"
              "fitting program:\n"
              "fitprog\n"
              "result file:\n"
              "res.dat\n"
              "axis file:\n"
              "axis.inp\n");
        Write("axis.inp", "0\n100\n20\n0\n10\n2\n1\n1\n3\n");
        Write("exp.dat", "3 2\n10 1 2\n50 3 4\n90 5 6\n");
        Write("opt.inp", "options\n");
        Write("model.inp", "model\n");
        QDir::setCurrent(dir_.path());
    }
    ~SampleTask() { QDir::setCurrent(previous_); }
    SampleTask(const SampleTask&) = delete;
    SampleTask& operator=(const SampleTask&) = delete;

    QString path() const { return dir_.path(); }
    QString File(const QString& name) const { return dir_.filePath(name); }

    void Write(const QString& name, const QByteArray& content) const {
        QFile file(dir_.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(content);
        }
    }

  private:
    QString previous_;
    QTemporaryDir dir_;
};

}  // namespace zelk::testing
