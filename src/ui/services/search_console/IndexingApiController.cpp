#include "ui/services/search_console/IndexingApiController.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "net/RequestTrace.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/search_console/IndexingApiWindow.h"
#include "ui/widgets/WidgetFactory.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>

namespace veltrano {

IndexingApiController::IndexingApiController(ServiceContext context, IndexingApiWindow &window, QMenu *urlsMenu)
    : QObject(nullptr), m_context(context), m_window(window), m_exchange(context.makeExchange()),
      m_client(m_exchange,
               {context.endpoints.googleApis, context.endpoints.searchConsoleApi, context.endpoints.indexingApi}),
      m_submission(m_client)
{
    setObjectName(QStringLiteral("IndexingApiController"));
    // The submission names its spent daily quota in its own words.
    m_exchange.setStopOnSpentQuota(false);
    m_window.setPorts({&m_context.run, &m_context.prompt, [this] { submit(); }});
    if (urlsMenu) {
        QAction *submitAction = widgets::menuItem(urlsMenu, QStringLiteral("Submit URLs via Google Indexing API"),
                                                  "SubmitURLforIndexinginGoogle1");
        m_context.reports.setRowsAction(ServiceId::SearchConsole, submitAction);
        connect(submitAction, &QAction::triggered, this, guarded(m_context.prompt, [this] { submitSelectedUrls(); }));
    }
}

IndexingApiController::~IndexingApiController() = default;

QString IndexingApiController::indexingApiToken() const
{
    return SettingsFile(SettingsFile::pathIn(m_context.appFolder))
        .readString(settings::IndexingApiTokenSection, settings::IndexingApiTokenKey);
}

void IndexingApiController::submitSelectedUrls()
{
    m_window.stopTimer();
    if (indexingApiToken().isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::None, applicationErrorTitle(),
                              QStringLiteral("Please first get the Google Indexation API Token to send URLs for "
                                             "indexation"));
        return;
    }
    if (m_context.reports.selectedUrls(Service).isEmpty())
        return;
    if (!m_context.idleOrRefuse())
        return;
    m_window.showModally();
}

void IndexingApiController::submit()
{
    m_window.clearRows();
    m_context.trace.clear();
    // The pages as selected now, in table order; the run works through this
    // list whatever happens to the table meanwhile.
    const QStringList pages = m_context.reports.selectedUrls(Service);
    m_window.setProgressMaximum(int(pages.size()));
    const QString token = indexingApiToken();

    IndexingApiSubmission::Result result;
    {
        const BusyState::Hold busy(&m_context.busy);
        m_running = true;
        const auto done = qScopeGuard([this] { m_running = false; });
        RunControl &run = m_context.run;
        result = m_submission.run(token, pages,
                                  {m_context.events, [&run] { return run.flags().cancelRequested; },
                                   [this](const IndexingNotification &row) { m_window.addRow(row); },
                                   [this] { m_window.advanceProgress(); }});
    }
    m_window.stopTimer();
    if (result.ranThrough())
        m_context.run.markReportDataReady();
    if (result.outcome == IndexingApiSubmission::Outcome::Unusable)
        throw VeltranoError(result.message);
}

} // namespace veltrano
