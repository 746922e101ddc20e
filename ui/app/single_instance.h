#pragma once
// One running program per user: the first start holds a lock file and listens on a local
// socket; a later start finds the lock held, asks the running one to show itself, and ends.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace tellune::ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result {
        First,       // this process runs the program
        HandedOver,  // another one runs it and was asked to come forward
        Unreachable  // another one holds the lock but did not answer
    };

    SingleInstance(QString lock_path, QString server_name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR (or the temporary folder) + a per-user name.
    static QString default_lock_path();
    static QString default_server_name();

    Result claim();

signals:
    // The running instance was asked to show itself.
    void show_requested();

private:
    void on_new_connection();

    QString server_name_;
    QLockFile lock_;
    QLocalServer server_;
};

}  // namespace tellune::ui
