#include "app/main_window.h"

namespace telvora::app {

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
    setObjectName("frmMain");
    setWindowTitle("Telvora statistic from csv file");
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::btnUploadClick() {}

}  // namespace telvora::app
