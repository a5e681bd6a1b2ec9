#pragma once

#include "StaticPagesModule.h"

#include <memory>

namespace veltrano::sim {

// The product's own pages as the sandbox shows them: the news panel's pages
// ("/news/en", "/news/ru"), the home page ("/home/en", "/home/ru") and the
// maker's site ("/maker").
std::unique_ptr<StaticPagesModule> newsPages();
std::unique_ptr<StaticPagesModule> homePages();
std::unique_ptr<StaticPagesModule> makerPages();

} // namespace veltrano::sim
