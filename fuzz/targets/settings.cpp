// Settings files: the reader's parse and a walk through every node and value kind,
// then the program's modules (main window, tool panel) loading their state from it, as
// at a start of the program.

#include <QBuffer>

#include <memory>

#include "FuzzSupport.h"
#include "MainForm.h"
#include "ZelSDFReader.h"
#include "ZelToolPanelModule.h"

namespace {

constexpr int32_t kIds = 4;
constexpr int kMaxDepth = 4;

std::unique_ptr<TZelSDFReader> MakeReader(const uint8_t* data, size_t size) {
  auto* buffer = new QBuffer();
  buffer->setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  buffer->open(QIODevice::ReadOnly);
  return std::make_unique<TZelSDFReader>(buffer, true);
}

// Reads every kind of value with the ids 0 .. kIds - 1 in the current node, then does
// the same in its child nodes with those ids, down to kMaxDepth.
void Walk(TZelSDFReader& reader, int depth) {
  for (int32_t id = 0; id < kIds; ++id) {
    int32_t number = 0;
    reader.ReadInteger(id, number);
    bool flag = false;
    reader.ReadBoolean(id, flag);
    QString text;
    reader.ReadWideString(id, text);
    uint8_t blob[TZelToolPanelModule::kDockRecordSize];
    reader.ReadBlob(id, blob, TMainForm::kPlacementSize);
    reader.ReadBlob(id, blob, TZelToolPanelModule::kDockRecordSize);
  }
  if (depth == kMaxDepth) return;
  for (int32_t id = 0; id < kIds; ++id) {
    if (reader.EnterNode(id)) {
      Walk(reader, depth + 1);
      reader.LeaveNode();
    }
    if (reader.EnterGuidNode(id, TMainForm::kSettingsGuid)) {
      Walk(reader, depth + 1);
      reader.LeaveNode();
    }
  }
}

// The application object with its main window and tool panel, made once.
void EnsureModules() {
  static const std::unique_ptr<quill::TZelFormsUnit> unit = [] {
    quill::fuzz::EnsureQtApplication();
    auto made = std::make_unique<quill::TZelFormsUnit>();
    ZelApplication->CreateForm(MainForm);
    TZelToolPanelModule* panel = nullptr;
    ZelApplication->CreateComponent(panel);
    return made;
  }();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Walk(*MakeReader(data, size), 0);

  EnsureModules();
  const std::unique_ptr<TZelSDFReader> reader = MakeReader(data, size);
  for (int i = 0; i < ZelApplication->GetComponentCount(); ++i) {
    if (auto* module = dynamic_cast<IZelModule*>(ZelApplication->GetComponent(i))) module->LoadState(*reader);
  }
  return 0;
}
