#include "ProductPages.h"

namespace veltrano::sim {

namespace {

std::string page(const char *language, const std::string &title, const std::string &content)
{
    return std::string("<!DOCTYPE html>\n<html lang=\"") + language
           + "\">\n<head><meta charset=\"utf-8\"><title>" + title + "</title></head>\n<body>\n<h1>" + title
           + "</h1>\n" + content + "</body>\n</html>\n";
}

} // namespace

std::unique_ptr<StaticPagesModule> newsPages()
{
    const std::string en = page("en", "Veltrano news",
                                "<p><b>1.2</b>: CSV export of every report and of the query lists.</p>\n"
                                "<p><b>1.1</b>: Ahrefs data explorer and backlink history chart.</p>\n"
                                "<p>Served by veltrano-sim, the offline service simulator.</p>\n");
    const std::string ru = page("ru", "Veltrano news",
                                "<p><b>1.2</b>: CSV export of every report and of the query lists.</p>\n"
                                "<p>Новое в версии 1.2: экспорт всех отчётов в CSV.</p>\n"
                                "<p>Served by veltrano-sim, the offline service simulator.</p>\n");
    return std::make_unique<StaticPagesModule>(
        "/news", std::map<std::string, StaticPagesModule::Page>{{"/en", {"text/html; charset=utf-8", en}},
                                                                {"/ru", {"text/html; charset=utf-8", ru}}});
}

std::unique_ptr<StaticPagesModule> homePages()
{
    const std::string en = page("en", "Veltrano",
                                "<p>Check the pages of your site in five web-analytics services at once.</p>\n");
    const std::string ru = page("ru", "Veltrano",
                                "<p>Проверка страниц сайта в пяти сервисах веб-аналитики.</p>\n");
    return std::make_unique<StaticPagesModule>(
        "/home", std::map<std::string, StaticPagesModule::Page>{{"", {"text/html; charset=utf-8", en}},
                                                                {"/en", {"text/html; charset=utf-8", en}},
                                                                {"/ru", {"text/html; charset=utf-8", ru}}});
}

std::unique_ptr<StaticPagesModule> makerPages()
{
    const std::string about = page("en", "The makers of Veltrano",
                                   "<p>Veltrano is made by a small team of search specialists.</p>\n");
    return std::make_unique<StaticPagesModule>(
        "/maker", std::map<std::string, StaticPagesModule::Page>{{"", {"text/html; charset=utf-8", about}}});
}

} // namespace veltrano::sim
