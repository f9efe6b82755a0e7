#include "app/CPrintAnnotationDialog.h"

#include "records/NumberText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

CPrintAnnotationDialog::CPrintAnnotationDialog(CWnd* pParent, PrintSettings* settings)
    : CDialog(IDD, pParent), settings_(settings)
{
}

BOOL CPrintAnnotationDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(1857, settings_->Annotation1);
    SetDlgItemText(1858, settings_->Annotation2);
    const float margins[4] = {settings_->MarginLeft, settings_->MarginRight, settings_->MarginTop,
                              settings_->MarginBottom};
    for (int i = 0; i < 4; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%3.2f", margins[i]);
        SetDlgItemText(1859 + i, text);
    }
    CheckDlgButton(1863, settings_->EnableCommentBlock ? BST_CHECKED : BST_UNCHECKED);
    std::string comments;
    for (int i = 0; i < 10; ++i) {
        comments += settings_->Comment[i];
        if (i < 9)
            comments += "\r\n";
    }
    SetDlgItemText(1864, comments);
    return TRUE;
}

void CPrintAnnotationDialog::OnOK()
{
    // The margins are checked before anything is stored: a negative margin would put the plot
    // off the page, and ten inches leaves no page to print on.
    static const char* const kNames[4] = {"The left margin", "The right margin", "The top margin",
                                          "The bottom margin"};
    double values[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!ReadNumberField(*this, 1859 + i, NumberField{kNames[i], 0.0, 10.0}, values[i]))
            return;
    GetDlgItemText(1857, settings_->Annotation1, 80);
    GetDlgItemText(1858, settings_->Annotation2, 80);
    float* margins[4] = {&settings_->MarginLeft, &settings_->MarginRight, &settings_->MarginTop,
                         &settings_->MarginBottom};
    for (int i = 0; i < 4; ++i)
        *margins[i] = static_cast<float>(values[i]);
    for (auto& c : settings_->Comment)
        std::memset(c, 0, sizeof c);
    if (auto* edit = static_cast<CEdit*>(GetDlgItem(1864))) {
        const int lines = std::min(edit->GetLineCount(), 10);
        for (int i = 0; i < lines; ++i) {
            const std::string line = edit->GetLine(i);
            std::strncpy(settings_->Comment[i], line.c_str(), 255);
            settings_->Comment[i][255] = '\0';
        }
    }
    settings_->EnableCommentBlock = IsDlgButtonChecked(1863) == BST_CHECKED ? 1 : 0;
    CDialog::OnOK();
}
