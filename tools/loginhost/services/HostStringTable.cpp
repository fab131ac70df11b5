#include "HostStringTable.h"

#include "LoginSettings.h"

namespace {

struct Entry {
    int32_t id;
    const char* text;
};

// The labels carry their mnemonics as Windows writes them (&X), but where the Windows template
// leaves no room (the type label) and on the bitmap buttons, which draw a text as it is.
const Entry kStrings[] = {
    {STRING_DIALOG_NO_TYPE_CAPTION, "\xCC\xE1\xCA\xBE"},                // 提示
    {STRING_DIALOG_OK, "\xC8\xB7\xB6\xA8"},                             // 确定
    {STRING_DIALOG_CANCEL, "\xC8\xA1\xCF\xFB"},                         // 取消
    {STRING_MESSAGE_BOX_TITLE, "\xB5\xC7\xC2\xBC "},                    // 登录 (version follows)
    {STRING_DIALOG_GROUP, "\xB4\xFA\xC0\xED\xB7\xFE\xCE\xF1\xC6\xF7"},  // 代理服务器
    {STRING_DIALOG_LABEL_FIRST, "\xC0\xE0\xD0\xCD:"},                   // 类型:
    {STRING_DIALOG_LABEL_FIRST + 1, "\xB5\xD8\xD6\xB7(&A):"},           // 地址(&A):
    {STRING_DIALOG_LABEL_FIRST + 2, "\xB6\xCB\xBF\xDA(&P):"},           // 端口(&P):
    {STRING_DIALOG_LABEL_FIRST + 3, "\xD3\xC3\xBB\xA7(&U):"},           // 用户(&U):
    {STRING_DIALOG_LABEL_FIRST + 4, "\xC3\xDC\xC2\xEB(&W):"},           // 密码(&W):
    // The message box's own texts: its buttons OK, Cancel, Yes, No.
    {4102, "\xC8\xB7\xB6\xA8"},                     // 确定
    {4103, "\xC8\xA1\xCF\xFB"},                     // 取消
    {4109, "\xCA\xC7"},                             // 是
    {4110, "\xB7\xF1"},                             // 否
    {STRING_DIALOG_CLOSE_TIP, "\xB9\xD8\xB1\xD5"},  // 关闭
    {STRING_DIALOG_NO_TYPE,
     "\xC7\xEB\xD1\xA1\xD4\xF1\xB4\xFA\xC0\xED\xC0\xE0\xD0\xCD"},          // 请选择代理类型
    {STRING_PROXY_TYPE_NONE, "\xB2\xBB\xCA\xB9\xD3\xC3\xB4\xFA\xC0\xED"},  // 不使用代理
    {STRING_PROXY_TYPE_USER,
     "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xB4\xFA\xC0\xED"},  // 使用自定义代理
    {STRING_PROXY_TYPE_BROWSER,
     "\xCA\xB9\xD3\xC3\xE4\xAF\xC0\xC0\xC6\xF7\xB4\xFA\xC0\xED"},  // 使用浏览器代理
    {STRING_DIALOG_TITLE, "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3"},     // 登录设置
};

}  // namespace

const char* BuiltInString(int32_t id) {
    for (const Entry& entry : kStrings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}
