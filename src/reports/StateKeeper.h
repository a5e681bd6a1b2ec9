#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <future>
#include <vector>

namespace veltrano {

class ActivityLog;
class ReportTable;
class RunControl;

// Keeps the URL lists, the reports, their row states and what each check
// used in the state file, so that they survive a restart, a crash or a
// power cut:
//
// - restore() at start reads the file whole into the empty tables; a file
//   that cannot be read whole is set aside under another name, one log
//   line says so, and the tables stay empty.
// - Any change marks the state changed. A changed state is saved at most
//   once per interval (5 s): during a check a crash loses at most the
//   answers of the last interval. Rows that come or go (an import, Delete,
//   an import that clears the list) and the end of a run are saved at once.
// - A save copies the tables on this thread (the texts are shared, so the
//   copy is quick) and encodes and writes the file on a worker thread, so
//   the window does not wait for the disk. The file is replaced whole
//   (temporary file, then rename).
// - saveNow() (at close) writes what changed and waits for it.
class StateKeeper final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultInterval{5000};

    // tables: by report tab, from 0.
    StateKeeper(QString path, std::vector<ReportTable *> tables, RunControl &run, ActivityLog &log,
                QObject *parent = nullptr);
    // Waits for a save in flight.
    ~StateKeeper() override;

    const QString &path() const { return m_path; }

    // Reads the file into the tables (which must be empty). True when a
    // saved state was restored. Then starts watching the tables.
    bool restore();
    // Starts watching the tables without reading the file; the next save
    // writes them as they are.
    void start();

    void setInterval(std::chrono::milliseconds interval) { m_timer.setInterval(int(interval.count())); }
    // Saves a changed state now on the worker, unless a save is in flight
    // (then once it ends).
    void saveSoon();
    // Writes a changed state now and waits until it is on the disk.
    void saveNow();

    bool isChanged() const { return m_changed; }
    bool isSaving() const { return m_pending.valid(); }
    // Waits for the save in flight, if any, and takes its result.
    void waitForSave();
    // Saves started, for the tests and benchmarks.
    int savesStarted() const { return m_savesStarted; }

Q_SIGNALS:
    // A save ended (written or refused by the disk).
    void saveFinished(bool written);

private:
    void watch();
    void markChanged();
    void tick();
    void startSave();
    void finishSave();
    // One line per new reason; the same failure every 5 s is not repeated.
    void reportWriteError(const QString &error);

    QString m_path;
    std::vector<ReportTable *> m_tables;
    RunControl &m_run;
    ActivityLog &m_log;
    QTimer m_timer;
    QTimer m_soon;
    std::future<QString> m_pending; // the worker's error text, empty when written
    bool m_changed = false;
    bool m_watching = false;
    bool m_againWhenDone = false;
    int m_savesStarted = 0;
    QString m_lastError;
};

} // namespace veltrano
