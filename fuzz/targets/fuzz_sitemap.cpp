// An XML sitemap as "Import URLs from xml..." reads it: the XML declaration's
// encoding, the XML reader, the "loc" of every "url" under "urlset", and the
// acceptance steps into a report table. A file the reader refuses leaves the
// table as it was; one it takes moves the progress bar only forward and
// never past its maximum.

#include "FuzzCheck.h"
#include "ImportFixture.h"

#include <cstdint>

using namespace veltrano;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    fuzz::ImportFixture f;
    f.table.appendRows({QStringLiteral("https://example.com/kept")});
    const UrlImporter::Result result = f.importer.importSitemapData(f.table, bytes, /*noClear=*/true, f.progress);
    if (result == UrlImporter::Result::NotImported) {
        FUZZ_CHECK(f.prompt.shown == 1);
        FUZZ_CHECK(f.table.rowCount() == 1);
        FUZZ_CHECK(f.log.entries().empty());
    } else {
        FUZZ_CHECK(f.progress.maximum >= 0);
        FUZZ_CHECK(f.progress.highest <= f.progress.maximum);
        FUZZ_CHECK(f.progress.position == f.progress.highest);
        FUZZ_CHECK(f.table.rowCount() - 1 <= f.progress.position);
        FUZZ_CHECK(f.log.entries().size() == 1);
    }
    f.checkTable();
    return 0;
}
