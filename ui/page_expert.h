// The expert pages' classes. Their rows, tables and handlers come with their templates (204 and
// 205); until then the controller never shows them and only holds their slots.
#pragma once

#include "ui/wnd_base.h"

class CDlgInstallBase : public CWndBase {};

class CDlgExpert1 : public CDlgInstallBase {};

class CDlgExpert2 : public CWndBase {};
