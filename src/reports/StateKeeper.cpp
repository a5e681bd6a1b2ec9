#include "reports/StateKeeper.h"

#include "app/ActivityLog.h"
#include "app/RunControl.h"
#include "app/VeltranoError.h"
#include "reports/ReportTable.h"
#include "reports/SavedState.h"
#include "reports/SavedStateFile.h"

#include <QDir>

namespace veltrano {

namespace {

QString writeState(const QString &path, const SavedState &state)
{
    try {
        SavedStateFile::write(path, state);
    } catch (const VeltranoError &error) {
        return error.message();
    } catch (const std::exception &error) {
        return errorText(error);
    }
    return {};
}

} // namespace

StateKeeper::StateKeeper(QString path, std::vector<ReportTable *> tables, RunControl &run, ActivityLog &log,
                         QObject *parent)
    : QObject(parent), m_path(std::move(path)), m_tables(std::move(tables)), m_run(run), m_log(log)
{
    m_timer.setInterval(int(DefaultInterval.count()));
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, [this] {
        if (!m_changed)
            return;
        if (isSaving())
            m_againWhenDone = true;
        else
            startSave();
    });
}

StateKeeper::~StateKeeper()
{
    if (m_pending.valid())
        m_pending.wait();
}

bool StateKeeper::restore()
{
    SavedState state;
    QString why;
    bool restored = false;
    switch (SavedStateFile::read(m_path, state, &why)) {
    case SavedStateFile::ReadResult::Missing:
        break;
    case SavedStateFile::ReadResult::Refused: {
        const QString aside = SavedStateFile::setAside(m_path);
        const QString shown = QDir::toNativeSeparators(m_path);
        m_log.addToLog(aside.isEmpty()
                           ? QStringLiteral("The saved reports in \"%1\" were not read (%2) and could not be kept "
                                            "under another name; Veltrano starts with empty reports")
                                 .arg(shown, why)
                           : QStringLiteral("The saved reports in \"%1\" were not read (%2); the file is kept as "
                                            "\"%3\" and Veltrano starts with empty reports")
                                 .arg(shown, why, QDir::toNativeSeparators(aside)));
        break;
    }
    case SavedStateFile::ReadResult::Read:
        state.applyTo(m_tables, m_run);
        restored = !state.isEmpty();
        break;
    }
    watch();
    return restored;
}

void StateKeeper::start()
{
    // The tables were not read from the file: what they hold is written
    // with the first save.
    m_changed = true;
    watch();
}

void StateKeeper::watch()
{
    if (m_watching)
        return;
    m_watching = true;
    for (ReportTable *table : m_tables) {
        if (!table)
            continue;
        // Cells and order: saved with the next interval.
        connect(table, &QAbstractItemModel::dataChanged, this, [this] { markChanged(); });
        connect(table, &QAbstractItemModel::layoutChanged, this, [this] { markChanged(); });
        // Rows that come or go (imports, Delete, a list cleared): at once.
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
            connect(table, signal, this, [this] {
                markChanged();
                saveSoon();
            });
        }
        connect(table, &QAbstractItemModel::modelReset, this, [this] {
            markChanged();
            saveSoon();
        });
    }
    connect(&m_run, &RunControl::rowStatesChanged, this, [this] { markChanged(); });
    connect(&m_run, &RunControl::runningChanged, this, [this](bool running) {
        if (!running)
            saveSoon();
    });
    m_timer.start();
}

void StateKeeper::markChanged()
{
    m_changed = true;
}

void StateKeeper::saveSoon()
{
    m_soon.start();
}

void StateKeeper::tick()
{
    if (m_pending.valid() && m_pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        finishSave();
    if (m_changed && !isSaving())
        startSave();
}

void StateKeeper::startSave()
{
    // The copy is taken here, on the tables' thread; from here on the
    // tables may change while the worker writes what they held.
    SavedState snapshot = SavedState::capture(m_tables, m_run);
    m_changed = false;
    ++m_savesStarted;
    m_pending = std::async(std::launch::async, [this, path = m_path, snapshot = std::move(snapshot)] {
        QString error = writeState(path, snapshot);
        QMetaObject::invokeMethod(this, [this] { finishSave(); }, Qt::QueuedConnection);
        return error;
    });
}

void StateKeeper::finishSave()
{
    // The worker's call may come after waitForSave() took its result, or
    // while the next save still runs.
    if (!m_pending.valid() || m_pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    const QString error = m_pending.get();
    if (error.isEmpty()) {
        m_lastError.clear();
    } else {
        // What was not written is written with the next save.
        m_changed = true;
        reportWriteError(error);
    }
    Q_EMIT saveFinished(error.isEmpty());
    if (m_againWhenDone) {
        m_againWhenDone = false;
        if (m_changed)
            startSave();
    }
}

void StateKeeper::waitForSave()
{
    if (m_pending.valid()) {
        m_pending.wait();
        finishSave();
    }
}

void StateKeeper::saveNow()
{
    m_againWhenDone = false;
    while (isSaving())
        waitForSave();
    if (!m_changed)
        return;
    m_changed = false;
    ++m_savesStarted;
    const QString error = writeState(m_path, SavedState::capture(m_tables, m_run));
    if (!error.isEmpty()) {
        m_changed = true;
        reportWriteError(error);
    } else {
        m_lastError.clear();
    }
    Q_EMIT saveFinished(error.isEmpty());
}

void StateKeeper::reportWriteError(const QString &error)
{
    if (error == m_lastError)
        return;
    m_lastError = error;
    m_log.addToLog(error + QStringLiteral(" The reports are kept until the next try."));
}

} // namespace veltrano
