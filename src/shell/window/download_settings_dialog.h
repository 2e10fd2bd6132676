// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// "下载设置": which aria2 takes the downloads (Tessel's own, or another at an
// address with its secret and certificate file) and where Tessel's own saves
// them.  It shows what the settings file holds when it opens (edits made in
// the file while the program runs included), checks the form when OK is
// pressed and saves it at once; every later hand-off reads the new values,
// and Tessel's own aria2, when it runs, downloads to the new folder at once.

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace tessel::shell {

class Aria2Engine;
class SettingsStore;

class DownloadSettingsDialog final : public QDialog {
    Q_OBJECT
 public:
    DownloadSettingsDialog(SettingsStore& settings, Aria2Engine* engine = nullptr, QWidget* parent = nullptr);

    // Checks and saves; false (with the complaint shown) when the form is not
    // right.  What OK runs.
    bool Apply();
    QString Complaint() const;

 private:
    void Load();
    void SyncEnabled();

    SettingsStore& settings_;
    Aria2Engine* engine_;
    QRadioButton* optOwnEngine;
    QRadioButton* optOtherEngine;
    QLineEdit* txtAria2Rpc;
    QLineEdit* txtAria2Secret;
    QLineEdit* txtAria2CaFile;
    QLineEdit* txtDownloadDir;
    QLabel* lblComplaint;
};

}  // namespace tessel::shell
