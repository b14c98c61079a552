// The outputs of a run, put in place together or not at all.
#include "output_set.h"

#include <cctype>
#include <ostream>

#include "textio/textio.h"

namespace helmert2d::textio {

void OutputSet::add(const std::string& label, const std::string& path, OutputKind kind) {
  if (path.empty()) return;
  outputs_.push_back({label, path, kind, nullptr, false, false});
}

bool OutputSet::has(const std::string& path) const {
  for (const Output& out : outputs_) {
    if (out.path == path) return true;
  }
  return false;
}

OutputSet::Output* OutputSet::find(const std::string& path) {
  for (Output& out : outputs_) {
    if (out.path == path) return &out;
  }
  return nullptr;
}

bool OutputSet::check_names(const std::vector<std::string>& inputs, std::ostream& console) const {
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const Output& out = outputs_[i];
    std::string clash;
    for (const std::string& input : inputs) {
      if (clash.empty() && same_file(out.path, input)) {
        clash = i == 0 ? "an input file" : "an input or report file";
      }
    }
    for (std::size_t j = 0; j < i && clash.empty(); ++j) {
      if (!same_file(out.path, outputs_[j].path)) continue;
      clash = j == 0 ? "an input or report file" : "the output file " + outputs_[j].path;
    }
    if (clash.empty()) continue;
    console << " ??? " << out.label << " " << out.path << " is the same file as " << clash << "\n";
    return false;
  }
  return true;
}

std::ostream* OutputSet::open(const std::string& path, std::ostream& console) {
  if (find(path) == nullptr)
    outputs_.push_back({"Output file", path, OutputKind::text, nullptr, false, false});
  Output& out = *find(path);
  out.file = std::make_unique<OutputFile>();
  if (out.file->open(path)) return &out.file->stream();
  out.file.reset();
  out.failed = out.told = true;
  console << " ??? " << out.label << " " << path
          << (out.kind == OutputKind::text ? " is not opened\n" : " is not written\n");
  return nullptr;
}

std::ostream* OutputSet::stream(const std::string& path) {
  Output* out = find(path);
  return out != nullptr && out->file ? &out->file->stream() : nullptr;
}

void OutputSet::fail(const std::string& path) {
  if (Output* out = find(path)) out->failed = true;
}

void OutputSet::drop(const std::string& path) {
  if (Output* out = find(path)) out->file.reset();  // removes the temporary
}

void OutputSet::drop_all() {
  for (Output& out : outputs_) out.file.reset();
}

void OutputSet::tell_failure(const Output& out, std::ostream& console) {
  console << " ??? " << out.label << " " << out.path
          << (out.kind == OutputKind::text ? " could not be written completely\n"
                                           : " is not written\n");
}

int OutputSet::commit(int status, std::ostream& console) {
  // Every byte is handed to its file first (a full disk, a closed pipe, a file-size
  // limit show here), so that no output is put in place beside one that failed.
  for (Output& out : outputs_) {
    if (!out.failed && (!out.file || out.file->flush())) continue;
    if (!out.told) tell_failure(out, console);
    drop_all();
    return 1;
  }
  // The renames: into the folders the temporaries were made in, they do not fail but
  // for a folder removed meanwhile; the outputs already in place then stay.
  for (Output& out : outputs_) {
    if (!out.file) continue;
    const bool whole = out.file->commit();
    out.file.reset();
    if (whole) continue;
    tell_failure(out, console);
    drop_all();
    return 1;
  }
  return status;
}

int OutputSet::out_of_memory(std::ostream& console) {
  const Output* named = outputs_.empty() ? nullptr : &outputs_.front();
  for (const Output& out : outputs_) {
    if (!out.file) continue;
    named = &out;
    break;
  }
  drop_all();
  console << " ??? Out of memory";
  if (named != nullptr) {
    std::string label = named->label;
    if (!label.empty())
      label[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(label[0])));
    console << ": " << label << " " << named->path << " is not written";
  }
  console << "\n";
  return 1;
}

}  // namespace helmert2d::textio
