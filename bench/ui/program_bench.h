#pragma once
// What the program benchmarks share: the figures method (CPU of the process and of each of
// its threads over a stretch of the event loop) and the scratch data folder.

#include <sys/resource.h>

#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <map>

namespace tellune::bench {

inline QString source_folder() {
    return QStringLiteral(TELLUNE_SOURCE_DIR "/");
}

// CPU time of each thread of this process in nanoseconds, by thread id (schedstat keeps
// nanoseconds; the tick counts of stat are too coarse for a thread using 0.1 %).
inline std::map<int, double> thread_cpu_ns() {
    std::map<int, double> out;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid) + "/schedstat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        out[tid.toInt()] = stat.readAll().split(' ').value(0).toDouble();
    }
    return out;
}

// Counts the paints of the widgets it watches: proof that the picture really animates.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

inline double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms`, as the program's own loop would.
inline void run_for(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

}  // namespace tellune::bench
