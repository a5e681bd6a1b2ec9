// The state file read at start (Veltrano.state): whatever a power cut, a
// full disk, another program or a newer Veltrano left there is read whole
// or refused whole, without a fault.
//
// The first byte chooses how the rest is read:
// - even: as the whole file, header and checksum included;
// - odd: as the body alone, behind a header made to vouch for it, so that
//   the body's reader is reached past the checksum.
// A state that is read must fit the report tables: put into empty tables
// it gives every report all its rows, cell for cell, and written again it
// reads back the same.

#include "FuzzCheck.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "reports/ReportTable.h"
#include "reports/SavedState.h"
#include "reports/SavedStateFile.h"
#include "services/ServiceTable.h"

#include <cstdint>
#include <memory>
#include <vector>

using namespace veltrano;

namespace {

struct SilentPrompt final : MessagePrompt {
    void show(Icon, const QString &, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
};
struct NoEvents final : EventPump {
    void processPendingEvents() override {}
    void keepPainting() override {}
};
struct NoProgress final : ProgressReporter {
    void setMaximum(int) override {}
    void setPosition(int) override {}
};

struct Tables {
    ActivityLog log;
    SilentPrompt prompt;
    NoEvents events;
    NoProgress progress;
    RunControl run{log, events, prompt, progress};
    std::vector<std::unique_ptr<ReportTable>> owned;
    std::vector<ReportTable *> tables;
    Tables()
    {
        for (int tab = 0; tab < ServiceTable::count(); ++tab) {
            owned.push_back(std::make_unique<ReportTable>(ReportLayout::ofTab(tab)->service()));
            tables.push_back(owned.back().get());
            run.setTable(tab, tables.back());
        }
    }
    const ReportTable *named(const QString &name) const
    {
        for (const ReportTable *table : tables) {
            if (table->name() == name)
                return table;
        }
        return nullptr;
    }
};

void checkFits(const SavedState &state)
{
    Tables t;
    state.applyTo(t.tables, t.run);
    for (const SavedReport &report : state.reports) {
        const ReportTable *table = t.named(report.name);
        FUZZ_CHECK(table != nullptr);
        FUZZ_CHECK(table->columnCount() == report.columns);
        FUZZ_CHECK(table->rowCount() == report.rowCount());
        for (int row = 0; row < report.rowCount(); ++row) {
            for (int column = 0; column < report.columns; ++column)
                FUZZ_CHECK(table->cell(row, column) == report.cell(row, column));
        }
    }
    // Written again, it reads back as it was put into the tables.
    const std::optional<SavedState> again =
        SavedStateFile::decode(SavedStateFile::encode(SavedState::capture(t.tables, t.run)));
    FUZZ_CHECK(again.has_value());
    Tables u;
    again->applyTo(u.tables, u.run);
    for (size_t tab = 0; tab < t.tables.size(); ++tab) {
        FUZZ_CHECK(u.tables[tab]->rowCount() == t.tables[tab]->rowCount());
        for (int row = 0; row < t.tables[tab]->rowCount(); ++row)
            FUZZ_CHECK(u.tables[tab]->rowTexts(row) == t.tables[tab]->rowTexts(row));
        FUZZ_CHECK(u.run.rowStates(int(tab)).all() == t.run.rowStates(int(tab)).all());
        FUZZ_CHECK(u.run.rowStates(int(tab)).target() == t.run.rowStates(int(tab)).target());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const bool bodyOnly = (data[0] & 1) != 0;
    const QByteArray file = bodyOnly ? SavedStateFile::headerFor(rest) + rest : rest;
    QString why;
    const std::optional<SavedState> state = SavedStateFile::decode(file, &why);
    FUZZ_CHECK(state.has_value() == why.isEmpty());
    if (state)
        checkFits(*state);
    return 0;
}
