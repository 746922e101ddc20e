#pragma once
// What the program benchmarks share: the figures method (CPU of the process and of each of
// its threads over a stretch of the event loop) and the scratch data folder.

#include <sys/resource.h>
#include <unistd.h>

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

struct ThreadCpu {
    QString
        name;  // as the thread named itself ("tl-light", ...); the main thread's is the program's
    double ns = 0;
    double wakes = 0;  // voluntary context switches: each one a sleep and a wake-up
};

// CPU time of each thread of this process in nanoseconds, by thread id (schedstat keeps
// nanoseconds; the tick counts of stat are too coarse for a thread using 0.1 %).
inline std::map<int, ThreadCpu> thread_cpu_ns() {
    std::map<int, ThreadCpu> out;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid) + "/schedstat");
        QFile comm(tasks.filePath(tid) + "/comm");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        ThreadCpu& t = out[tid.toInt()];
        t.ns = stat.readAll().split(' ').value(0).toDouble();
        if (comm.open(QIODevice::ReadOnly)) t.name = QString::fromUtf8(comm.readAll().trimmed());
        QFile status(tasks.filePath(tid) + "/status");
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("voluntary_ctxt_switches:"))
                    t.wakes = line.mid(line.indexOf(':') + 1).trimmed().toDouble();
    }
    return out;
}

// Sets the counters "interface_thread_percent", "other_threads_percent" and one
// "<thread name>_percent" per named worker (threads of one name added up) from the CPU the
// threads used since `before`, over `wall` seconds; "..._wakes" are their wake-ups per
// second, which on a virtual machine cost more than the work they wake for.
template <class Counters>
void split_thread_cpu(Counters& counters, const std::map<int, ThreadCpu>& before, double wall) {
    const int interface_thread = int(getpid());
    double interface_ns = 0, others_ns = 0, interface_wakes = 0, others_wakes = 0;
    std::map<QString, ThreadCpu> by_name;
    for (const auto& [tid, now] : thread_cpu_ns()) {
        const auto it = before.find(tid);
        const double used = now.ns - (it == before.end() ? 0 : it->second.ns);
        const double woke = now.wakes - (it == before.end() ? 0 : it->second.wakes);
        if (tid == interface_thread) {
            interface_ns += used;
            interface_wakes += woke;
            continue;
        }
        others_ns += used;
        others_wakes += woke;
        if (!now.name.startsWith(QLatin1String("tl-"))) continue;
        by_name[now.name].ns += used;
        by_name[now.name].wakes += woke;
    }
    counters["interface_thread_percent"] = 100.0 * interface_ns / 1e9 / wall;
    counters["interface_thread_wakes"] = interface_wakes / wall;
    counters["other_threads_percent"] = 100.0 * others_ns / 1e9 / wall;
    counters["other_threads_wakes"] = others_wakes / wall;
    for (const auto& [name, t] : by_name) {
        counters[(name.mid(3) + "_percent").toStdString()] = 100.0 * t.ns / 1e9 / wall;
        counters[(name.mid(3) + "_wakes").toStdString()] = t.wakes / wall;
    }
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
