#pragma once

#include "ServiceModule.h"

#include <map>
#include <string>

namespace veltrano::sim {

// A site of fixed pages below one prefix: the product's news and home pages
// and the maker's site. Pages are keyed by the path after the prefix ("" for
// the prefix itself, "/en", "/ru" ...); a trailing "/" is ignored.
class StaticPagesModule final : public ServiceModule {
public:
    struct Page {
        std::string contentType = "text/html; charset=utf-8";
        std::string body;
    };

    StaticPagesModule(std::string defaultPrefix, std::map<std::string, Page> pages);

    std::string defaultPrefix() const override { return m_defaultPrefix; }
    void install(SimServer &server, const std::string &prefix) override;

private:
    std::string m_defaultPrefix;
    std::map<std::string, Page> m_pages;
};

} // namespace veltrano::sim
