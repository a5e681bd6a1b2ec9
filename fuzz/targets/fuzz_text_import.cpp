// A plain text URL list as "Import URLs from txt..." reads it: the bytes are
// decoded (byte-order mark, UTF-8, or Windows-1251), split into lines, each
// line trimmed and put through the acceptance steps into a report table.
// The same lines are then pasted again with "Don't clear URL on import" on,
// which must add nothing.

#include "FuzzCheck.h"
#include "ImportFixture.h"

#include "reports/TextFileDecoder.h"

#include <cstdint>

using namespace veltrano;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    TextFileDecoder::Encoding used;
    const QString text = TextFileDecoder::decode(bytes, &used);
    // Detection and decoding agree on the encoding.
    FUZZ_CHECK(TextFileDecoder::detect(bytes) == used);
    int lines = 0;
    TextFileDecoder::forEachLine(text, [&](QStringView line) {
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
        ++lines;
        return true;
    });

    fuzz::ImportFixture f;
    const UrlImporter::Result result = f.importer.importTextData(f.table, bytes, /*noClear=*/false);
    FUZZ_CHECK(result != UrlImporter::Result::NotImported);
    FUZZ_CHECK(f.table.rowCount() <= lines);
    f.checkTable();
    const int rows = f.table.rowCount();

    // The same text once more, keeping the rows: every line is a repeat.
    f.importer.pasteText(f.table, text, /*noClear=*/true);
    FUZZ_CHECK(f.table.rowCount() == rows);
    f.checkTable();
    return 0;
}
