#pragma once

#include "app/WorkerRow.h"

#include <QAbstractTableModel>
#include <QString>
#include <QTime>
#include <functional>
#include <vector>

namespace veltrano {

// The activity log the user reads: newest line on top, each with the local
// time of the call and the message. Held in memory for the whole run.
//
// Lines may come from any thread: those of a row's exchange on a worker
// thread (WorkerRow) are held for the row and written when it is applied;
// any other line from another thread is handed to the log's own thread.
class ActivityLog final : public QAbstractTableModel, public LineTarget {
    Q_OBJECT
public:
    struct Entry {
        QString time;
        QString message;
    };

    explicit ActivityLog(QObject *parent = nullptr);

    // Adds a line at the top. Emits messageAdded first, so a window can
    // switch from the news panel to the log before the line appears.
    void addToLog(const QString &message);
    // A held line written when its row is applied.
    void writeLine(const QString &line) override { addToLog(line); }

    // A line written just before the next message, once: the run frame's
    // "Check started", so that a run which writes nothing (refused before
    // its first request) leaves no trace of a start.
    void setLineBeforeNext(const QString &line) { m_lineBeforeNext = line; }
    // Writes the waiting line now, if one waits.
    void flushLineBeforeNext();
    // Drops the waiting line; true when it was still waiting (nothing was
    // written since it was set).
    bool dropLineBeforeNext();

    const std::vector<Entry> &entries() const { return m_entries; }
    // Messages only, newest first.
    QStringList messages() const;
    // Messages only, oldest first: the order in which they were written.
    QStringList messagesInOrder() const;

    // "hh:nn:ss": two-digit hours (00-23), minutes and seconds joined by the
    // locale's time separator.
    static QString formatTime(const QTime &time, QChar separator);
    static QChar localeTimeSeparator();

    // Replaces the clock (tests).
    void setClock(std::function<QTime()> clock) { m_clock = std::move(clock); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    void messageAdded(const QString &message);

private:
    void append(const QString &message);

    std::vector<Entry> m_entries; // oldest first; row 0 shows the last one
    std::function<QTime()> m_clock;
    QChar m_separator;
    QString m_lineBeforeNext;
};

} // namespace veltrano
