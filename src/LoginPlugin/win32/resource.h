// Resource and control IDs of the plug-in's own resources.
#pragma once

// The proxy settings dialog.
#define IDD_SETTING_DIALOG 4000
#define IDC_PROXY_TYPE 4000
#define IDC_PROXY_ADDRESS 4001
#define IDC_PROXY_PORT 4002
#define IDC_PROXY_USER 4003
#define IDC_PROXY_PASSWORD 4004
#define IDC_LABEL_TYPE 4005
#define IDC_LABEL_ADDRESS 4006
#define IDC_LABEL_PORT 4007
#define IDC_LABEL_USER 4008
#define IDC_LABEL_PASSWORD 4009
#define IDC_PROXY_GROUP 4010
#define IDC_CLOSE_BUTTON 4011
#define IDC_TITLE 4012
