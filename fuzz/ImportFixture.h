#pragma once

// What the two import targets share: a report table, stand-ins for the
// window's ports, and the checks every import must pass whatever it read.

#include "FuzzCheck.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "reports/UrlImporter.h"

#include <QSet>

namespace veltrano::fuzz {

struct CountingPrompt final : MessagePrompt {
    int shown = 0;
    void show(Icon, const QString &, const QString &) override { ++shown; }
    bool ask(const QString &, const QString &) override
    {
        ++shown;
        return false;
    }
};

struct RecordingProgress final : ProgressReporter {
    int maximum = -1;
    int position = -1;
    int highest = -1;
    void setMaximum(int m) override { maximum = m; }
    void setPosition(int p) override
    {
        position = p;
        highest = std::max(highest, p);
    }
};

struct ImportFixture {
    ActivityLog log;
    CountingPrompt prompt;
    RecordingProgress progress;
    ReportTable table{ServiceId::YandexWebmaster};
    UrlImporter importer{log, prompt};

    // Whatever came in, the table holds what the acceptance steps let
    // through: no empty URL, no skipped extension, no URL twice, no more
    // than the limit, every row with all its cells. Every URL has a key.
    void checkTable() const
    {
        FUZZ_CHECK(table.rowCount() <= ReportTable::RowLimit);
        FUZZ_CHECK(table.rowCountWithStaged() == table.rowCount());
        QSet<QString> seen;
        for (int row = 0; row < table.rowCount(); ++row) {
            const QString &url = table.url(row);
            FUZZ_CHECK(!url.isEmpty());
            FUZZ_CHECK(!UrlImporter::isSkippedExtension(url));
            FUZZ_CHECK(!seen.contains(url));
            seen.insert(url);
            FUZZ_CHECK(table.findUrlRow(url) == row);
            FUZZ_CHECK(table.rowTexts(row).size() == table.columnCount());
            const QString key = UrlKey::of(url);
            FUZZ_CHECK(UrlKey::of(key) == key);
        }
    }
};

} // namespace veltrano::fuzz
