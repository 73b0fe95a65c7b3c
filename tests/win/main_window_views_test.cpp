// The rows of the drive list and of both detail pages, for emulated drives at
// chosen positions.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "layout.h"
#include "refresh_timer.h"
#include "resource.h"
#include "window_session.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char* const Controllers[] = {"Primary/Master", "Primary/Slave", "Secondary/Master",
                                   "Secondary/Slave"};

// A few names the user must see for well-known attributes.
const std::map<int, std::string> KnownNames = {
    {1, "Raw Read Error Rate"}, {4, "Start/Stop Count"},  {5, "Reallocated Sector Count"},
    {9, "Power On Hours Count"}, {194, "Temperature"},     {193, "Load Cycle Count"},
    {12, "Power Cycle Count"},   {199, "Ultra ATA CRC Error Count"},
};

// A .fail file lists one failing operation per line, maybe with an error code.
bool FailsToEnable(const std::string& failFile)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(failFile, &bytes))
        return false;
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string operation;
        if (words >> operation && operation == "enable")
            return true;
    }
    return false;
}

// The status of a sample, else of a demo drive ("Ok" or "Alert").
std::vector<std::string> DriveRow(const DriveFacts& facts, int driveIndex, bool enabled,
                                  const char* status = nullptr)
{
    return {facts.model, facts.nvme ? "NVMe" : Controllers[driveIndex], enabled ? "Yes" : "No",
            !enabled ? "N/A" : status ? status : EnabledStatus(facts)};
}

// The attribute page must list the drive's attributes in sector order.
void ExpectAttributePage(const DriveFacts& facts)
{
    Rows rows = ListCells(AttributeList, 5);
    ASSERT_EQ(rows.size(), facts.attributes.size()) << facts.model;
    for (size_t k = 0; k < rows.size(); ++k) {
        const AttributeFact& a = facts.attributes[k];
        EXPECT_EQ(rows[k][0], std::to_string(a.id)) << "row " << k;
        EXPECT_FALSE(rows[k][1].empty()) << "row " << k;
        if (facts.nvme)
            continue;
        EXPECT_EQ(rows[k][2], std::to_string(a.value)) << "row " << k;
        EXPECT_EQ(rows[k][3], a.threshold < 0 ? "-" : std::to_string(a.threshold)) << "row " << k;
        auto known = KnownNames.find(a.id);
        if (known != KnownNames.end()) {
            EXPECT_EQ(rows[k][1], known->second);
        }
    }
}

// The detail pages show the drive whose model, serial and first attributes
// these are, below the Health row.
void ExpectDetailsOf(const DriveFacts& facts)
{
    EXPECT_EQ(CellText(InfoList, 1, 1), facts.model);
    EXPECT_EQ(CellText(InfoList, 3, 1), facts.serial);
    ExpectAttributePage(facts);
}

struct LocalStamp {
    int year, month, day, hour, minute, second;
    bool operator<=(const LocalStamp& o) const
    {
        const int a[] = {year, month, day, hour, minute, second};
        const int b[] = {o.year, o.month, o.day, o.hour, o.minute, o.second};
        return !std::lexicographical_compare(b, b + 6, a, a + 6);
    }
};

LocalStamp Now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

class MainWindowViewsTest : public ::testing::Test {
protected:
    DriveFolder drives_;
};

TEST_F(MainWindowViewsTest, DrivesAtPositionsOneAndThreeOnly)
{
    drives_.Put(1, DemoBlob(1));
    drives_.Put(3, DemoBlob(3));
    DriveFacts one = ReadDriveFacts(DemoBlob(1));
    DriveFacts three = ReadDriveFacts(DemoBlob(3));
    ASSERT_FALSE(one.model.empty());
    ASSERT_FALSE(three.model.empty());
    MainWindowSession session(drives_);
    ASSERT_NE(session.Window(), nullptr);

    // The WD NVMe drive ran hot once: a temperature warning, no failure.
    EXPECT_EQ(ListCells(DriveList, 4), (Rows{DriveRow(one, 1, true), DriveRow(three, 3, true, "Caution")}));
    EXPECT_EQ(RowImage(DriveList, 0), 0);
    EXPECT_EQ(RowImage(DriveList, 1), 0);
    // Position 0 gave no answer: the pages show the first listed drive.
    ExpectDetailsOf(one);

    // So do they after a refresh tick, once the user had picked the other.
    SelectRow(DriveList, 1);
    SendDoubleClick(session.Window(), DriveList);
    ExpectDetailsOf(three);
    SendMessageA(session.Window(), WM_TIMER, RefreshTimerId, 0);
    ExpectDetailsOf(one);
}

TEST_F(MainWindowViewsTest, AllFourDemoDrives)
{
    drives_.PutDemoDrives();
    MainWindowSession session(drives_);
    ASSERT_NE(session.Window(), nullptr);

    Rows expected;
    for (int d = 0; d < 4; ++d)
        expected.push_back(DriveRow(ReadDriveFacts(DemoBlob(d)), d, !FailsToEnable(DemoFailFile(d)),
                                    d == 3 ? "Caution" : nullptr));
    Rows shown = ListCells(DriveList, 4);
    EXPECT_EQ(shown, expected);
    for (int row = 0; row < RowCount(DriveList); ++row)
        EXPECT_EQ(RowImage(DriveList, row), 0) << "row " << row;
    // The demo shows every status a user can meet.
    int alerts = 0, unavailable = 0;
    for (const auto& row : shown) {
        alerts += row[3] == "Alert";
        unavailable += row[2] == "No" && row[3] == "N/A";
    }
    EXPECT_EQ(alerts, 1);
    EXPECT_EQ(unavailable, 1);
    ExpectDetailsOf(ReadDriveFacts(DemoBlob(0)));
}

TEST_F(MainWindowViewsTest, DriveWithSmartNotEnabledStillListsItsAttributes)
{
    // The drive with an attribute at its threshold: N/A must win over Alert.
    int alerting = -1;
    for (int d = 0; d < 4 && alerting < 0; ++d) {
        if (std::string(EnabledStatus(ReadDriveFacts(DemoBlob(d)))) == "Alert")
            alerting = d;
    }
    ASSERT_GE(alerting, 0) << "the demo drives hold no drive in alert";
    DriveFacts facts = ReadDriveFacts(DemoBlob(alerting));
    ASSERT_FALSE(facts.attributes.empty());
    drives_.Put(2, DemoBlob(alerting));
    drives_.Fail(2, "enable\n");
    MainWindowSession session(drives_);
    ASSERT_NE(session.Window(), nullptr);

    EXPECT_EQ(ListCells(DriveList, 4), (Rows{DriveRow(facts, 2, false)}));
    EXPECT_EQ(CellText(DriveList, 0, 2), "No");
    EXPECT_EQ(CellText(DriveList, 0, 3), "N/A");
    ExpectDetailsOf(facts);
}

TEST_F(MainWindowViewsTest, InformationPageOfARealDrive)
{
    std::string blob = SampleBlob("ST320410A--3.39.blob");
    if (blob.empty())
        GTEST_SKIP() << "no drive samples on this machine";
    drives_.Put(0, blob);
    LocalStamp before = Now();
    MainWindowSession session(drives_);
    LocalStamp after = Now();
    ASSERT_NE(session.Window(), nullptr);

    // expected.tsv of the samples: 39100223 sectors; IDENTIFY words 1, 3, 6.
    const Rows expected = {
        {"Health", "Caution: 5 reallocated sectors (5)"},
        {"Model Number", "ST320410A"},
        {"Size", "19091 MB"},
        {"Serial Number", "5FB3QF34"},
        {"Firmware Rev.", "3.39"},
        {"Geometry", ""},
        {"Logical Cylinders", "16383"},
        {"Logical Heads", "16"},
        {"Logical Sectors per Track", "63"},
        {"Total Addressable Sectors", "39100223"},
        {"Logical Block Addressing", "Yes"},
    };
    Rows shown = ListCells(InfoList, 2);
    ASSERT_EQ(shown.size(), 12u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(shown[i], expected[i]) << "row " << i;
    const int images[] = {4, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 3};  // 4: the warning sign
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(RowImage(InfoList, i), images[i]) << "row " << i;
    std::string raw;  // of expected-more.tsv, by the Raw column's formats
    for (int row = 0; row < 9; ++row)
        raw += CellText(AttributeList, row, 4) + " ";
    EXPECT_EQ(raw, "0000019C5999 000000000000 12459 5 000133423729 30387 0 1755 40 C ");

    EXPECT_EQ(shown[11][0], "Last Access");
    LocalStamp read = {};
    char tail = 0;
    int fields = std::sscanf(shown[11][1].c_str(), "%2d/%2d/%4d %2d.%2d.%2d%c", &read.day, &read.month,
                             &read.year, &read.hour, &read.minute, &read.second, &tail);
    EXPECT_EQ(fields, 6) << shown[11][1];
    EXPECT_EQ(shown[11][1].size(), 19u) << "dd/mm/yyyy hh.mm.ss";
    EXPECT_TRUE(before <= read && read <= after) << "the time of the scan: " << shown[11][1];
}

TEST_F(MainWindowViewsTest, NoAnsweringDriveMeansNoWindow)
{
    MainWindowSession session(drives_);
    EXPECT_EQ(session.Window(), nullptr);
    ASSERT_EQ(session.Boxes().size(), 1u);
    EXPECT_EQ(session.Boxes()[0].rfind("Ostrivel: 2 - ", 0), 0u) << session.Boxes()[0];
}

TEST_F(MainWindowViewsTest, RealDrivesOnAllFourPositions)
{
    // Reallocated sectors; ID 4 at value 1, threshold 20; pending sectors.
    const std::pair<const char*, const char*> samples[] = {
        {"ST320410A--3.39.blob", "Caution"},
        {"ST9100821AS--3.CME.blob", "Alert"},
        {"Maxtor_96147H8--BAC51KJ0.blob", "Caution"},
        {"WDC_WD2500JB--00REA0-20.00K20.blob", "Caution"},
    };
    Rows expected;
    std::vector<DriveFacts> facts;
    for (int d = 0; d < 4; ++d) {
        std::string blob = SampleBlob(samples[d].first);
        if (blob.empty())
            GTEST_SKIP() << "no drive samples on this machine";
        drives_.Put(d, blob);
        facts.push_back(ReadDriveFacts(blob));
        expected.push_back(DriveRow(facts.back(), d, true, samples[d].second));
    }
    MainWindowSession session(drives_);
    ASSERT_NE(session.Window(), nullptr);

    EXPECT_EQ(ListCells(DriveList, 4), expected);
    ExpectDetailsOf(facts[0]);
    // The Maxtor uses all 30 entries of its attribute sector.
    SelectRow(DriveList, 2);
    SendDoubleClick(session.Window(), DriveList);
    EXPECT_EQ(RowCount(AttributeList), 30);
    ExpectDetailsOf(facts[2]);
}

// An NVMe drive at position 0 and an ATA drive at position 2, both also with
// the read-and-write open refused (then said in the status bar): the texts of
// expected-nvme.tsv; the ATA drive's thresholds after a full run on the folder.
TEST_F(MainWindowViewsTest, NvmeDriveBesideAnAtaDriveAlsoWithoutAdministratorRights)
{
    const std::string name = "SOLIDIGM_SSDPFKKW020X7--001C";
    const std::string nvme = SampleBlob(("modern/" + name + ".blob").c_str()), ata = SampleBlob("ST320410A--3.39.blob");
    if (nvme.empty() || ata.empty())
        GTEST_SKIP() << "no drive samples on this machine";
    std::map<std::string, std::string> f;  // "name field value", "name health FIELD value"
    std::ifstream tsv(std::string(OSTRIVEL_SAMPLES_DIR) + "/modern/expected-nvme.tsv");
    for (std::string line; std::getline(tsv, line);) {
        const size_t last = line.rfind('\t');
        if (line.rfind(name + "\t", 0) == 0)
            f[line.substr(line.rfind('\t', last - 1) + 1, last - line.rfind('\t', last - 1) - 1)] = line.substr(last + 1);
    }
    auto celsius = [&](const char* field) { return std::to_string(std::stoi(f[field]) - 273) + " C"; };
    drives_.Put(0, nvme);
    drives_.Put(2, ata);
    const DriveFacts ataFacts = ReadDriveFacts(ata);
    const Rows info = {{"Health", "Ok"}, {"Model Number", f["model"]},
                       {"Size", std::to_string(std::stoull(f["nsze"]) * 512 / 1048576) + " MB"},
                       {"Serial Number", f["serial"]}, {"Firmware Rev.", f["firmware"]}, {"NVMe", ""},
                       {"NVMe Version", "1.4"}, {"Logical Block Size", f["lbaSize"]},
                       {"Warning Temperature", celsius("wctemp")}, {"Total Addressable Sectors", f["nsze"]},
                       {"Critical Temperature", celsius("cctemp")}};
    std::vector<uint8_t> state;  // the monitor's, from the run before
    for (const char* fault : {"admin\n", "", "admin\n"}) {
        const bool limited = *fault, thresholdsKept = limited && !state.empty();
        SCOPED_TRACE(limited ? (thresholdsKept ? "limited after a full run" : "limited") : "administrator");
        drives_.Fail(0, fault);
        drives_.Fail(2, fault);
        MainWindowSession session(drives_, nullptr, &state);
        ASSERT_NE(session.Window(), nullptr);
        EXPECT_TRUE(session.Boxes().empty());
        char part0[80] = {};
        SendDlgItemMessageA(session.Window(), IDC_STATUS_BAR, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(part0));
        EXPECT_EQ(std::string(part0) == "Limited: run as administrator for thresholds", limited) << part0;
        EXPECT_EQ(ListCells(DriveList, 4),
                  (Rows{{f["model"], "NVMe", "Yes", "Ok"}, DriveRow(ataFacts, 2, true, "Caution")}));
        Rows shown = ListCells(InfoList, 2);
        ASSERT_EQ(shown.size(), 12u);
        EXPECT_EQ(Rows(shown.begin(), shown.begin() + 11), info);
        Rows health = ListCells(AttributeList, 4);
        ASSERT_EQ(health.size(), 15u);
        EXPECT_EQ(health[1], (std::vector<std::string>{"2", "Composite Temperature", celsius("Composite Temperature"),
                                                      celsius("wctemp")}));
        EXPECT_EQ(health[5][2].rfind(f["Data Units Read"] + " (", 0), 0u) << health[5][2];
        // The amount shows whole: the value takes the empty Raw column's room.
        EXPECT_LE(SendMessageA(AttributeList, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(health[5][2].c_str())) + 12,
                  SendMessageA(AttributeList, LVM_GETCOLUMNWIDTH, 2, 0));
        EXPECT_EQ(health[14], (std::vector<std::string>{"15", "Error Information Log Entries",
                                                       f["Number of Error Information Log Entries"], ""}));
        SelectRow(DriveList, 1);
        SendDoubleClick(session.Window(), DriveList);
        EXPECT_GT(SendMessageA(AttributeList, LVM_GETCOLUMNWIDTH, 4, 0), 0) << "the Raw column back for ATA";
        DriveFacts seen = ataFacts;
        for (AttributeFact& a : seen.attributes)
            a.threshold = limited && !thresholdsKept ? -1 : a.threshold;
        ExpectAttributePage(seen);
        EXPECT_EQ(CellText(InfoList, 3, 1) == ataFacts.serial, !limited || thresholdsKept) << "else the descriptor's";
        for (int row : {6, 7, 8})
            EXPECT_EQ(CellText(InfoList, row, 1) == "-", limited) << "row " << row;
        session.Close();
        ReadWholeFile(session.WorkFile("ostrivel.mon"), &state);
    }
}

}  // namespace
