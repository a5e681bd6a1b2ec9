#pragma once

#include "net/ServiceExchange.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/IndexingApiSubmission.h"
#include "ui/services/ServiceContext.h"

#include <QObject>
#include <QString>

class QAction;

class QMenu;

namespace veltrano {

class IndexingApiWindow;

// "Submit URLs via Google Indexing API" on the Search Console report table:
// the selected pages go to the Google Indexing API with the Indexing API
// token (section "GoogleSC_IndexingApi_Token", key "GSC_IA"), never with the
// token selected in the Search Console token list, and the "Indexation API"
// window lists what Google accepted.
class IndexingApiController final : public QObject {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::SearchConsole;

    // Adds "Submit URLs via Google Indexing API" to the report tables' menu
    // (when given), offered on the Search Console tab.
    IndexingApiController(ServiceContext context, IndexingApiWindow &window, QMenu *urlsMenu);
    ~IndexingApiController() override;

    // SubmitURLforIndexinginGoogle1Click: with a token stored and a row
    // selected, shows the window, whose timer starts the submission.
    void submitSelectedUrls();
    // Button1Click of the window: sends one notification per selected page.
    void submit();

    // Whether a submission is under way (the window's timer has fired and
    // the last page has not been handled yet).
    bool isRunning() const { return m_running; }

    // The stored Indexing API token; empty when there is none.
    QString indexingApiToken() const;

    GoogleApiClient &client() { return m_client; }

private:
    ServiceContext m_context;
    IndexingApiWindow &m_window;
    ServiceExchange m_exchange;
    GoogleApiClient m_client;
    IndexingApiSubmission m_submission;
    bool m_running = false;
};

} // namespace veltrano
