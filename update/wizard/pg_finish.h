// Page 3: the final message of a run that ends with something to say, under
// a header and beside an icon that fit the outcome. Only Close is offered,
// and it ends the run.
#pragma once

#include "framework/dialog.h"
#include "framework/handles.h"
#include "update/resource_ids.h"
#include "update/wizard/update_page.h"

class CPgUpdateFinish : public CPgUpdatePageImpl<CPgUpdateFinish>,
                        public fw::CDialogImpl<CPgUpdateFinish>
{
public:
    enum { IDD = IDD_PG_FINISH };

    explicit CPgUpdateFinish(CUpdateWizard* pWizard) : CPgUpdatePageImpl(pWizard) {}

    BEGIN_MSG_MAP(CPgUpdateFinish)
    END_MSG_MAP()

    void OnActivate() override;
    void OnClose() override;
    void SetMessage(const char* pszText) override;
    void SetMessageId(UINT uId) override;

private:
    // The header and the icon for the outcome that message uId tells.
    void ShowOutcome(UINT uId);

    fw::CIconHandle m_icon;
};
