// The COM PORT page lists the detected ports and assigns one to the checked COM name in
// the user's port map: the /dev/serial/by-id name where the port has one, else the device.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app_test_support.h"
#include "fake_port_tree.h"
#include "flash/app/custom_prop.h"
#include "flash/app/environment_settings.h"
#include "platform/port_discovery.h"
#include "platform/port_names.h"
#include "platform/profile.h"

namespace {

using platform_test::FakePortTree;
using platform_test::UsbStrings;

const UsbStrings kFtdi = {"0403", "6001", "FTDI", "FT232R", "A1B2C3"};
const UsbStrings kBoard = {"2341", "0043", "Maker", "Uno Board", ""};

class PortAssignmentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    for (const char* name : {"KVPORT_COM3", "KVPORT_COM4"}) qunsetenv(name);
    tree_.AddUsbTty("ttyUSB0", kFtdi, "ftdi_sio", false);
    tree_.AddByIdLink("usb-FTDI_FT232R_A1B2C3-if00-port0", "ttyUSB0");
    tree_.Hold(tree_.Dev("ttyUSB0"), 4243, "serburn");
    tree_.AddUsbTty("ttyACM0", kBoard, "cdc_acm", true);
    board_ = tree_.Dev("kvsim-link");
    std::ofstream(board_) << "";
    std::ofstream(tree_.BoardsDir() + "/" + std::to_string(getpid()) + ".board")
        << "link=" << board_ << "\nchip=OS3F10\n";
  }
  void TearDown() override {
    if (oldConfig_.isNull()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", oldConfig_);
  }
  std::vector<platform::PortInfo> Discover() const { return platform::DiscoverPorts(tree_.Places()); }
  // The sheet with its COM PORT page made, listing the fake tree's ports.
  void Open(CCustomPropMain& sheet, int portNumber = 0) {
    sheet.ComPage().listPorts = [this] { return Discover(); };
    EnvironmentSettings settings;
    settings.portNumber = static_cast<uint8_t>(portNumber);
    sheet.Prepare(settings);
  }
  static QStringList Items(CCustomPropMain& sheet) {
    QStringList items;
    auto* list = sheet.findChild<QListWidget*>(QStringLiteral("portList"));
    for (int i = 0; list && i < list->count(); ++i) items << list->item(i)->text();
    return items;
  }
  static void Assign(CCustomPropMain& sheet, int comNumber, int row) {
    sheet.findChild<QRadioButton*>(QString::number(CCustomPropCom::kIdFirstPort + comNumber - 1))->click();
    sheet.findChild<QListWidget*>(QStringLiteral("portList"))->setCurrentRow(row);
    auto* assign = sheet.findChild<QPushButton*>(QStringLiteral("assignPort"));
    ASSERT_TRUE(assign->isEnabled());
    assign->click();
  }
  static QString Shown(CCustomPropMain& sheet, int comNumber) {
    return sheet.findChild<QLabel*>(QStringLiteral("device%1").arg(comNumber))->toolTip();
  }
  std::string Mapped(int comNumber) const {
    return platform::GetProfileString(platform::UserPortMapPath(), "Ports",
                                      "COM" + std::to_string(comNumber), "(missing)");
  }

  apptest::ProgramDir dir_;
  QTemporaryDir config_;
  QByteArray oldConfig_;
  FakePortTree tree_;
  std::string board_;
};

TEST_F(PortAssignmentTest, PageListsTheDetectedPortsAndRefreshReadsThemAgain) {
  CCustomPropMain sheet(nullptr, dir_.File(QStringLiteral("Customize.ini")).toStdString());
  Open(sheet);
  const std::string byId = tree_.Dev("serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
  EXPECT_EQ(Items(sheet),
            QStringList({QString::fromStdString(tree_.Dev("ttyACM0") + "  2341:0043 Maker Uno Board driver cdc_acm"),
                         QString::fromStdString(tree_.Dev("ttyUSB0") + "  by-id " + byId +
                                                "  0403:6001 FTDI FT232R serial A1B2C3 driver ftdi_sio  [in use]"),
                         QString::fromStdString(board_ + "  simulated OS3F10")}));
  // Nothing to assign until a detected port is selected.
  EXPECT_FALSE(sheet.findChild<QPushButton*>(QStringLiteral("assignPort"))->isEnabled());

  tree_.AddUsbTty("ttyUSB1", kFtdi, "ftdi_sio", false);
  sheet.findChild<QPushButton*>(QStringLiteral("refreshPorts"))->click();
  ASSERT_EQ(Items(sheet).size(), 4);
  EXPECT_TRUE(Items(sheet)[2].startsWith(QString::fromStdString(tree_.Dev("ttyUSB1") + "  ")));
}

TEST_F(PortAssignmentTest, AssignWritesTheByIdNameOrTheDeviceAndTheNameThenShowsIt) {
  const std::vector<platform::PortInfo> ports = Discover();
  ASSERT_EQ(ports.size(), 3u);
  ASSERT_EQ(ports[1].device, tree_.Dev("ttyUSB0"));
  ASSERT_FALSE(ports[1].byId.empty());
  ASSERT_TRUE(ports[0].byId.empty());

  const std::string ini = dir_.File(QStringLiteral("Customize.ini")).toStdString();
  CCustomPropMain sheet(nullptr, ini);
  Open(sheet, 1);
  EXPECT_EQ(Shown(sheet, 3), QStringLiteral("/dev/ttyS2"));

  Assign(sheet, 3, 1);  // the USB adapter with a by-id name
  EXPECT_EQ(Mapped(3), ports[1].byId);
  EXPECT_EQ(platform::ComPortDevice(3), ports[1].byId);
  EXPECT_EQ(Shown(sheet, 3), QString::fromStdString(ports[1].byId));

  Assign(sheet, 4, 0);  // the ACM device without one
  EXPECT_EQ(Mapped(4), tree_.Dev("ttyACM0"));
  EXPECT_EQ(Shown(sheet, 4), QString::fromStdString(tree_.Dev("ttyACM0")));

  Assign(sheet, 3, 2);  // a simulated board replaces the earlier assignment
  EXPECT_EQ(Mapped(3), board_);
  EXPECT_EQ(Shown(sheet, 3), QString::fromStdString(board_));
  EXPECT_EQ(Mapped(4), tree_.Dev("ttyACM0"));

  // The COM number itself is still stored by OK, as the index.
  sheet.findChild<QPushButton*>(QStringLiteral("1"))->click();
  EXPECT_EQ(platform::GetProfileString(ini, "Com", "Com", "(missing)"), "2");
}

}  // namespace
