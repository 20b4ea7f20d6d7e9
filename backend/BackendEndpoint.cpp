#include "BackendEndpoint.h"

#include "AppGlobals.h"

BackendEndpoint BackendEndpoint::At(const QString& hostText)
{
    BackendEndpoint endpoint;
    endpoint.host = hostText.toUtf8().toStdString();
    return endpoint;
}

BackendEndpoint BackendEndpoint::Station()
{
    return At(ServerHost);
}
