// The main window frmMain.
#pragma once

#include <QWidget>
#include <string>

namespace telvora::app {

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    const std::string& SelectedAwardId() const { return selectedAwardId_; }

    // The settings file, named by FormCreate's first step.
    std::string IniFileName;

public slots:
    void btnUploadClick();

private:
    std::string selectedAwardId_;
};

}  // namespace telvora::app
