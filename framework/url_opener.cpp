#include "url_opener.h"

#include "toolkit.h"

void OpenUrl(const std::string& strUrl)
{
    if (const ToolkitServices* pToolkit = AfxGetToolkit())
        pToolkit->pfnOpenUrl(strUrl);
}
