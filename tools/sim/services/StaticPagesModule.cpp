#include "StaticPagesModule.h"

#include "SimServer.h"

#include <memory>

namespace veltrano::sim {

StaticPagesModule::StaticPagesModule(std::string defaultPrefix, std::map<std::string, Page> pages)
    : m_defaultPrefix(std::move(defaultPrefix)), m_pages(std::move(pages))
{
}

void StaticPagesModule::install(SimServer &server, const std::string &prefix)
{
    auto pages = std::make_shared<const std::map<std::string, Page>>(m_pages);
    server.addHandler("GET", prefix, [pages, prefix](const RecordedRequest &request) {
        std::string key = request.path.substr(prefix.size());
        if (!key.empty() && key.back() == '/')
            key.pop_back();
        // "/newsletter" shares the prefix "/news" but is not below it.
        const auto page = key.empty() || key[0] == '/' ? pages->find(key) : pages->end();
        if (page == pages->end())
            return Response::text("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Not found</title>"
                                  "</head><body><p>No such page.</p></body></html>\n",
                                  404, "text/html; charset=utf-8");
        return Response::text(page->second.body, 200, page->second.contentType);
    });
}

} // namespace veltrano::sim
