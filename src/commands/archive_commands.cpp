// The archive commands: pack, unpack and list.
#include "commands/commands.h"

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

Outcome Commands::RunArchiveOperation(ArchiveComponent& component, const std::string& title,
                                      const std::string& file, CancelToken& cancel,
                                      const std::function<void()>& operation) {
  std::vector<ArchiveError> errors;
  {
    CommandJob job(host_, &cancel, title, file);
    // The component forgets the job and the list however the work ends.
    struct Attached {
      ArchiveComponent& component;
      ~Attached() {
        component.AttachJob(nullptr);
        component.OnError = nullptr;
      }
    } attached{component};
    component.OnError = [&errors](const ArchiveError& e) { errors.push_back(e); };
    component.AttachJob(&job.job());
    operation();
  }
  if (errors.empty()) return Outcome::kDone;
  host_.ReportArchiveErrors(errors);
  return Outcome::kFailed;
}

Outcome Commands::Pack(ArchiveKind kind, const std::string& source, std::string* archive,
                       CancelToken& cancel) {
  FileSystem& fs = fs_;
  const ArchiveKindInfo info = ArchiveKindInfoOf(kind);
  if (!CanWrite(kind)) {
    throw Failure(FailureKind::kRefused, std::string("Packing into the format ") + info.name +
                                             " is not available in this version")
        .AsSaid();
  }
  const std::string target = ChangeFileExt(source, info.extension);
  if (target == source) {
    throw Failure(FailureKind::kRefused,
                  "The file " + source + " is itself a *" + info.extension +
                      " file: the archive would take its place. Nothing was done.")
        .AsSaid();
  }
  if (fs.Stat(target).exists &&
      !host_.Confirm("File : " + target + " already exists. Do you want to overwrite this file?",
                     "")) {
    return Outcome::kDeclined;
  }
  const std::unique_ptr<ArchiveWriter> writer = MakeWriter(kind, fs);
  int packed = 0;
  // An archive already there is replaced only when the new one is complete.
  const Outcome outcome = RunArchiveOperation(
      *writer, "Packing " + ExtractFileName(source) + " into " + ExtractFileName(target), source,
      cancel, [&] { packed = PackNewArchive(*writer, source, target); });
  if (packed > 0 && archive != nullptr) *archive = target;
  return packed > 0 ? outcome : Outcome::kFailed;
}

std::unique_ptr<ArchiveReader> Commands::ReaderFor(const std::string& archive) {
  FileSystem& fs = fs_;
  const FileInfo info = fs.Stat(archive);
  if (info.unreachable != 0) RaiseErrno(info.unreachable, archive);
  if (!info.exists) RaiseIoError(io_code::kFileNotFound, archive);
  if (info.is_directory) {
    throw Failure(FailureKind::kRefused, "\"" + archive + "\" is a folder, not an archive")
        .AsSaid();
  }
  const std::optional<ArchiveKindInfo> kind = ArchiveKindOfContent(fs, archive);
  if (!kind)
    throw Failure::About(FailureKind::kDamaged, archive,
                         "The file " + archive + " is not a CAB, LHA, ZIP or BH archive");
  if (!CanRead(kind->kind)) {
    throw Failure(FailureKind::kRefused, std::string("Reading the format ") + kind->name +
                                             " is not available in this version")
        .AsSaid();
  }
  std::unique_ptr<ArchiveReader> reader = MakeReader(kind->kind, fs);
  reader->SetArchiveFile(archive);
  return reader;
}

Outcome Commands::Unpack(const std::string& archive, const std::string& folder,
                         CancelToken& cancel) {
  const std::unique_ptr<ArchiveReader> reader = ReaderFor(archive);
  FileSystem& fs = fs_;
  // A file where a folder of the chain should be: said in words.
  for (std::string step = folder; step.size() > 1; step = ExtractFileDir(step)) {
    const FileInfo info = fs.Stat(step);
    if (info.exists && !info.is_directory) {
      throw Failure(FailureKind::kRefused,
                    "Cannot unpack into " + folder + ": " + step + " is a file, not a folder")
          .AsSaid();
    }
  }
  CreateFolderChain(fs, folder);
  reader->FileSpec = {"*.*"};
  reader->SetExtractDir(folder);
  return RunArchiveOperation(*reader, "Unpacking " + ExtractFileName(archive), archive, cancel,
                             [&] { (void)reader->Extract(); });
}

Outcome Commands::List(const std::string& archive,
                       const std::function<void(const ArchiveEntry&)>& visit, CancelToken& cancel) {
  const std::unique_ptr<ArchiveReader> reader = ReaderFor(archive);
  return RunArchiveOperation(*reader, "Reading " + ExtractFileName(archive), archive, cancel,
                             [&] { reader->List(visit); });
}

Outcome Commands::TestArchive(const std::string& archive,
                              const std::function<void(const ArchiveEntry&, bool sound)>& each,
                              CancelToken& cancel) {
  const std::unique_ptr<ArchiveReader> reader = ReaderFor(archive);
  reader->FileSpec = {"*.*"};
  bool all_sound = true;
  const Outcome outcome =
      RunArchiveOperation(*reader, "Testing " + ExtractFileName(archive), archive, cancel, [&] {
        (void)reader->Test([&](const ArchiveEntry& entry, bool sound) {
          all_sound = all_sound && sound;
          each(entry, sound);
        });
      });
  return all_sound ? outcome : Outcome::kFailed;
}

}  // namespace talvor
