# Service addresses and OAuth client credentials are fixed when the program is
# built. Override any of them on the cmake command line, for example
#   cmake -DVELTRANO_YWM_CLIENT_ID=... -DVELTRANO_YWM_CLIENT_SECRET=... ..
# The defaults are the public service hosts and placeholder credentials of the
# documented forms; sign-in needs your own registered applications.

set(VELTRANO_YANDEX_WEBMASTER_API "https://api.webmaster.yandex.net" CACHE STRING "Yandex Webmaster API host")
set(VELTRANO_YANDEX_METRIKA_API "https://api-metrika.yandex.net" CACHE STRING "Yandex Metrika API host")
set(VELTRANO_GOOGLE_APIS "https://www.googleapis.com" CACHE STRING "Google APIs host (Search Console v3, Analytics v3, OAuth scopes)")
set(VELTRANO_SEARCH_CONSOLE_API "https://searchconsole.googleapis.com" CACHE STRING "Search Console API host (URL Inspection)")
set(VELTRANO_INDEXING_API "https://indexing.googleapis.com" CACHE STRING "Google Indexing API host")
set(VELTRANO_ANALYTICS_ADMIN_API "https://analyticsadmin.googleapis.com" CACHE STRING "Google Analytics Admin API host (GA4 accounts)")
set(VELTRANO_ANALYTICS_DATA_API "https://analyticsdata.googleapis.com" CACHE STRING "Google Analytics Data API host (GA4 reports)")
set(VELTRANO_AHREFS_API "https://apiv2.ahrefs.com" CACHE STRING "Ahrefs API v2 host")
set(VELTRANO_AHREFS_API_V3 "https://api.ahrefs.com" CACHE STRING "Ahrefs API v3 host")
set(VELTRANO_YANDEX_OAUTH "https://oauth.yandex.ru" CACHE STRING "Yandex OAuth host")
set(VELTRANO_GOOGLE_ACCOUNTS "https://accounts.google.com" CACHE STRING "Google accounts host")
set(VELTRANO_GOOGLE_SCOPE_BASE "https://www.googleapis.com" CACHE STRING "Prefix of Google OAuth scope URIs")
set(VELTRANO_TRENDS_SERVICE "https://trends.veltrano.app" CACHE STRING "The product's trends service")
set(VELTRANO_NEWS_PAGE "" CACHE STRING "News page shown in the News panel (empty: built-in welcome text)")
set(VELTRANO_NEWS_PAGE_RU "" CACHE STRING "Russian-language news page (empty: same as VELTRANO_NEWS_PAGE)")
set(VELTRANO_HOME_PAGE "https://veltrano.app/" CACHE STRING "The product's home page")
set(VELTRANO_HOME_PAGE_RU "https://veltrano.app/ru/" CACHE STRING "The product's Russian-language home page")
set(VELTRANO_MAKER_SITE "https://veltrano.app/about/" CACHE STRING "The maker's web site")
set(VELTRANO_LOOPBACK_HOST "localhost" CACHE STRING "Host name in the OAuth redirect URI")
set(VELTRANO_LOOPBACK_PORT "42361" CACHE STRING "Port of the OAuth callback listener")

set(VELTRANO_YWM_CLIENT_ID "0123456789abcdef0123456789abcdef" CACHE STRING "Yandex Webmaster OAuth client id (32 lowercase hex)")
set(VELTRANO_YWM_CLIENT_SECRET "fedcba9876543210fedcba9876543210" CACHE STRING "Yandex Webmaster OAuth client secret")
set(VELTRANO_YM_CLIENT_ID "00112233445566778899aabbccddeeff" CACHE STRING "Yandex Metrika OAuth client id (32 lowercase hex)")
set(VELTRANO_YM_CLIENT_SECRET "ffeeddccbbaa99887766554433221100" CACHE STRING "Yandex Metrika OAuth client secret")
set(VELTRANO_GOOGLE_CLIENT_ID "123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com" CACHE STRING "Google OAuth client id")
set(VELTRANO_GOOGLE_CLIENT_SECRET "GOCSPX-AbCdEfGhIjKlMnOpQrStUvWxYz01" CACHE STRING "Google OAuth client secret")

# The sandbox build points every service at the simulator on loopback.
set(VELTRANO_SANDBOX_PORT "42380" CACHE STRING "Port of veltrano-sim used by veltrano-sandbox")
set(VELTRANO_SANDBOX_LOOPBACK_PORT "42361" CACHE STRING "Callback listener port of veltrano-sandbox")
