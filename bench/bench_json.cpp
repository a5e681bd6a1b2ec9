// Reading a large JSON answer: parse it and take the text of every value
// and every member name, as the report checks do. Reported in bytes/s of
// the answer.
#include "net/JsonDocument.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using veltrano::JsonDocument;
using veltrano::JsonValue;

// About 5 MB shaped like a search-analytics answer: rows with keys (some
// Cyrillic, raw and escaped), whole and fractional numbers, ids of more than
// 12 digits, flags and nulls.
QByteArray makeAnswer(qsizetype targetBytes)
{
    QByteArray out = "{\"responseAggregationType\":\"byPage\",\"rows\":[";
    for (int i = 0; out.size() < targetBytes; ++i) {
        if (i > 0)
            out += ',';
        out += "{\"keys\":[\"";
        if (i % 3 == 0) // raw UTF-8
            out += "\xd0\xba\xd1\x83\xd0\xbf\xd0\xb8\xd1\x82\xd1\x8c \xd1\x81\xd0\xbb\xd0\xbe\xd0\xbd\xd0\xb0";
        else
            out += "\\u043a\\u0443\\u043f\\u0438\\u0442\\u044c buy an elephant";
        out += ' ';
        out += QByteArray::number(i);
        out += "\",\"https://example.com/catalog/item-";
        out += QByteArray::number(i);
        out += "/\"],\"clicks\":";
        out += QByteArray::number(i % 500);
        out += ",\"impressions\":";
        out += QByteArray::number(i * 7 % 100000);
        out += ".0,\"ctr\":0.0";
        out += QByteArray::number(344 + i % 1000);
        out += ",\"position\":";
        out += QByteArray::number(1 + (i % 90)) + '.' + QByteArray::number(i % 97);
        out += ",\"id\":";
        out += QByteArray::number(qint64(100000000000) + i);
        out += ",\"verified\":";
        out += (i % 2) ? "true" : "false";
        out += ",\"note\":null}";
    }
    out += "]}";
    return out;
}

const QByteArray &answer()
{
    static const QByteArray bytes = makeAnswer(5 * 1024 * 1024);
    return bytes;
}

// Every value's text and every member name, without recursion.
qsizetype readAllTexts(const JsonValue &root, const QLocale &locale)
{
    qsizetype characters = 0;
    std::vector<const JsonValue *> pending{&root};
    while (!pending.empty()) {
        const JsonValue *value = pending.back();
        pending.pop_back();
        if (value->isObject() || value->isArray()) {
            for (const JsonValue &child : *value) {
                if (value->isObject())
                    characters += child.key().size();
                pending.push_back(&child);
            }
        } else {
            characters += value->text(locale).size();
        }
    }
    return characters;
}

void BM_ParseOnly(benchmark::State &state)
{
    const QByteArray &bytes = answer();
    for (auto _ : state) {
        const JsonDocument doc = JsonDocument::parse(bytes);
        if (!doc.isValid()) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(doc.root().size());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_ParseAndReadEveryText(benchmark::State &state)
{
    const QByteArray &bytes = answer();
    const QLocale locale(QLocale::German, QLocale::Germany);
    for (auto _ : state) {
        const JsonDocument doc = JsonDocument::parse(bytes);
        benchmark::DoNotOptimize(readAllTexts(doc.root(), locale));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseAndReadEveryText)->Unit(benchmark::kMillisecond);

// The way the checks read a row: by member name.
void BM_ParseAndReadRowsByName(benchmark::State &state)
{
    const QByteArray &bytes = answer();
    const QLocale locale(QLocale::German, QLocale::Germany);
    for (auto _ : state) {
        const JsonDocument doc = JsonDocument::parse(bytes);
        qsizetype characters = 0;
        for (const JsonValue &row : doc.root().requireMember(u"rows")) {
            const JsonValue &keys = row.requireMember(u"keys");
            characters += keys.at(0).text().size() + keys.at(1).text().size();
            for (const char16_t *name : {u"clicks", u"impressions", u"ctr", u"position", u"id", u"verified"})
                characters += row.memberText(name, locale).size();
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseAndReadRowsByName)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
