// "File Operations": the current file group's details, and its Save, Open, Close and Create
// Composite buttons. Works through the caller's records (group info, the eight channel file
// records and calibrations) and sets the caller's changed flag when the channels' files were
// opened or closed; nothing is copied back on close.
#pragma once

#include "wave/ChannelFileState.h"
#include "records/ChannelCalibration.h"
#include "platform/ui/Dialog.h"
#include "wave/FileGroup.h"

#include <functional>
#include <string>

class CDurnexFileSelectDlg : public CDialog {
public:
    CDurnexFileSelectDlg(CWnd* parent, FileGroupInfo* group, char* waveFolder, ChannelFileState* files,
                         ChannelCalibration* calibrations, BYTE* changed);

    // How the group's files are opened: streamed or in memory, with or without a working copy,
    // and where working copies and scratch files go.
    void SetFileOptions(WORD waveMode, bool makeBackup, std::string tempFolder);
    // How many channel files hold work that closing would lose; by default the untitled files
    // and the named ones with changes outside their disk file.
    void SetUnsavedCounter(std::function<int()> counter) { unsavedCounter_ = std::move(counter); }
    // Called as soon as Open or Close has replaced or deleted the channels' files, while the
    // dialog is still up, so that the windows behind it neither draw from deleted files nor
    // show the old files' times.
    void SetFilesChangedHandler(std::function<void()> handler) { filesChanged_ = std::move(handler); }

    BOOL OnInitDialog() override;

protected:
    DECLARE_MESSAGE_MAP()
    void OnSave();
    void OnOpen();
    void OnClose();
    void OnCreateComposite();
    void OnHelp();
    void OnDateChanged(NMHDR*, LRESULT* result);

private:
    // Enables the buttons for the files open; pressed is the button whose action ran, if any.
    void UpdateButtons(int pressed = 0);
    void ShowGroup();
    void ReadTexts();
    int CountOpenFiles() const;

    FileGroupInfo* group_;
    char* waveFolder_;
    ChannelFileState* files_;
    ChannelCalibration* calibrations_;
    BYTE* changed_;
    WORD waveMode_ = 1;
    bool makeBackup_ = true;
    std::string tempFolder_;
    std::function<int()> unsavedCounter_;
    std::function<void()> filesChanged_;
};
