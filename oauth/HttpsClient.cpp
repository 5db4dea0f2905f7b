// Form POSTs over HTTPS; see HttpsClient.h.
#include "oauth/HttpsClient.h"

#include "base/Translate.h"
#include "oauth/OAuthError.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <exception>
#include <memory>

namespace {

constexpr qint64 MaxBodyBytes = 1 << 20;

QByteArray FormBody(const TFormFields& fields) {
    QUrlQuery query;
    for (const auto& [name, value] : fields)
        query.addQueryItem(QString::fromStdString(name), QString::fromStdString(value));
    // QUrlQuery leaves "+" and some others as they are; a form needs them encoded.
    return query.query(QUrl::FullyEncoded).replace("+", "%2B").toUtf8();
}

} // namespace

THttpsClient::THttpsClient(std::string caFile, int timeoutMs, std::function<void()> onWait)
    : CAFile(std::move(caFile)), TimeoutMs(timeoutMs), OnWait(std::move(onWait)) {}

THttpsResponse THttpsClient::PostForm(const std::string& address, const TFormFields& fields) {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    const std::string host = url.host().toStdString();
    if (!url.isValid() || url.scheme() != "https" || host.empty())
        throw EOAuthError(
            Tr("OAuth",
               "The sign-in address '%1' is no https address; Quillet sends nothing there.")
                .Arg(address));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!CAFile.empty()) {
        const QList<QSslCertificate> cas =
            QSslCertificate::fromPath(QString::fromStdString(CAFile));
        if (cas.isEmpty())
            throw EOAuthError(
                Tr("OAuth", "The CA certificates file %1 holds no certificate.").Arg(CAFile));
        tls.addCaCertificates(cas);
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    QNetworkRequest request(url);
    request.setSslConfiguration(tls);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    if (TimeoutMs > 0)
        request.setTransferTimeout(TimeoutMs);

    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.post(request, FormBody(fields)));
    std::string certificateProblem;
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, [&](const QList<QSslError>& errors) {
        if (!errors.isEmpty() && certificateProblem.empty())
            certificateProblem = errors.first().errorString().toStdString();
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, [&](qint64 received, qint64) {
        if (received > MaxBodyBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    std::exception_ptr failure;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // An exception must not cross Qt's event loop: kept and raised after it.
        try {
            if (OnWait)
                OnWait();
        } catch (...) {
            failure = std::current_exception();
            loop.quit();
        }
    });
    tick.start(20);
    if (!reply->isFinished())
        loop.exec();
    tick.stop();
    if (failure) {
        reply->abort();
        std::rethrow_exception(failure);
    }
    if (tooLarge)
        throw EOAuthError(Tr("OAuth", "The sign-in server %1 sent more than 1 MB.").Arg(host));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        if (!certificateProblem.empty())
            throw EOAuthError(
                Tr("OAuth", "Certificate of %1 rejected: %2.").Arg(host, certificateProblem));
        if (reply->error() == QNetworkReply::OperationCanceledError)
            throw EOAuthError(
                Tr("OAuth", "The sign-in server %1 did not answer in time.").Arg(host));
        throw EOAuthError(Tr("OAuth", "Could not reach the sign-in server %1: %2")
                              .Arg(host, reply->errorString().toStdString()));
    }
    return {status.toInt(), reply->readAll().toStdString()};
}
