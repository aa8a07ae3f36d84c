#include "zip/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>

#include "base/local_time.h"

namespace dfm {
namespace {

Failure ZipFailure(const zip_error_t* error) {
  zip_error_t copy;
  zip_error_init(&copy);
  zip_error_set(&copy, zip_error_code_zip(error), zip_error_code_system(error));
  Failure f{zip_error_code_zip(&copy), zip_error_strerror(&copy)};
  zip_error_fini(&copy);
  return f;
}

Failure ZipFailure(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  Failure f = ZipFailure(&error);
  zip_error_fini(&error);
  return f;
}

// A read-only libzip source over a File of a FileSystem. libzip does not own it: the
// archive object keeps it alive for as long as libzip may call it.
struct FileSource {
  std::unique_ptr<File> file;
  std::uint64_t size = 0;
  std::uint64_t pos = 0;
  static constexpr std::size_t kWindow = 64 * 1024;
  Bytes window;  // bytes of the file from window_start on
  std::uint64_t window_start = 0;
  zip_error_t error;

  FileSource() { zip_error_init(&error); }
  ~FileSource() { zip_error_fini(&error); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  zip_int64_t Command(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        pos = 0;
        return 0;
      case ZIP_SOURCE_READ:
        return ReadTo(data, len);
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_FREE:
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error);
        if (st == nullptr) return -1;
        zip_stat_init(st);
        st->size = size;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error, data, len);
      case ZIP_SOURCE_SEEK: {
        zip_int64_t to = zip_source_seek_compute_offset(pos, size, data, len, &error);
        if (to < 0) return -1;
        pos = static_cast<std::uint64_t>(to);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(pos);
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
      default:
        zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  // libzip asks for a few dozen bytes at a time (each directory record, each local
  // header): small reads are served from one buffered window of the file.
  zip_int64_t ReadTo(void* data, zip_uint64_t len) {
    std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(len, size - std::min(pos, size)));
    if (n == 0) return 0;
    auto* out = static_cast<unsigned char*>(data);
    if (pos < window_start || pos + n > window_start + window.size()) {
      if (n >= kWindow) {
        if (!file->ReadAt(pos, out, n)) return ReadFailed();
        pos += n;
        return static_cast<zip_int64_t>(n);
      }
      window.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size - pos)));
      window_start = pos;
      if (!file->ReadAt(pos, window.data(), window.size())) return ReadFailed();
    }
    std::memcpy(out, window.data() + (pos - window_start), n);
    pos += n;
    return static_cast<zip_int64_t>(n);
  }

  zip_int64_t ReadFailed() {
    window.clear();
    zip_error_set(&error, ZIP_ER_READ, EIO);
    return -1;
  }

  static zip_int64_t Callback(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    return static_cast<FileSource*>(self)->Command(data, len, cmd);
  }
};

struct ZipDiscard {
  void operator()(zip_t* za) const { zip_discard(za); }
};
struct ZipFileClose {
  void operator()(zip_file_t* zf) const { zip_fclose(zf); }
};
struct SourceFree {
  void operator()(zip_source_t* s) const { zip_source_free(s); }
};

class LibzipEntryReader final : public ZipEntryReader {
 public:
  explicit LibzipEntryReader(zip_file_t* file) : file_(file) {}
  Result<std::size_t> Read(void* out, std::size_t size) override {
    zip_int64_t n = zip_fread(file_.get(), out, size);
    if (n < 0) return ZipFailure(zip_file_get_error(file_.get()));
    return static_cast<std::size_t>(n);
  }

 private:
  std::unique_ptr<zip_file_t, ZipFileClose> file_;
};

}  // namespace

// Members are destroyed bottom-up: the archive before what it reads from.
struct ZipArchive::Impl {
  Bytes bytes;
  std::unique_ptr<FileSource> file_source;
  std::unique_ptr<zip_t, ZipDiscard> zip;

  // Opens the archive that `source` reads; a null `source` failed with `error`.
  static Result<ZipArchive> Open(std::unique_ptr<Impl> impl, zip_source_t* source,
                                 zip_error_t& error) {
    zip_t* za = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (za == nullptr) {
      if (source != nullptr) zip_source_free(source);
      Failure f = ZipFailure(&error);
      zip_error_fini(&error);
      return f;
    }
    zip_error_fini(&error);
    impl->zip.reset(za);
    return ZipArchive(std::move(impl));
  }
};

ZipArchive::ZipArchive(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ZipArchive::ZipArchive(ZipArchive&&) noexcept = default;
ZipArchive& ZipArchive::operator=(ZipArchive&&) noexcept = default;
ZipArchive::~ZipArchive() = default;

Result<ZipArchive> ZipArchive::Open(FileSystem& fs, const std::string& path) {
  auto impl = std::make_unique<Impl>();
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto size = (*file)->Size();
  if (!size) return size.failure();
  impl->file_source = std::make_unique<FileSource>();
  impl->file_source->file = std::move(*file);
  impl->file_source->size = *size;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_function_create(&FileSource::Callback, impl->file_source.get(), &error);
  return Impl::Open(std::move(impl), source, error);
}

Result<ZipArchive> ZipArchive::FromBytes(Bytes data) {
  auto impl = std::make_unique<Impl>();
  impl->bytes = std::move(data);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(impl->bytes.data(), impl->bytes.size(), 0, &error);
  return Impl::Open(std::move(impl), source, error);
}

std::uint64_t ZipArchive::EntryCount() const {
  zip_int64_t n = zip_get_num_entries(impl_->zip.get(), 0);
  return n < 0 ? 0 : static_cast<std::uint64_t>(n);
}

Result<ZipEntryInfo> ZipArchive::Entry(std::uint64_t index) const {
  zip_stat_t st;
  if (zip_stat_index(impl_->zip.get(), index, 0, &st) != 0)
    return ZipFailure(zip_get_error(impl_->zip.get()));
  ZipEntryInfo info;
  if (st.valid & ZIP_STAT_NAME) info.name = st.name;
  if (st.valid & ZIP_STAT_SIZE) info.size = st.size;
  if (st.valid & ZIP_STAT_COMP_SIZE) info.compressed_size = st.comp_size;
  if (st.valid & ZIP_STAT_CRC) info.crc = st.crc;
  if (st.valid & ZIP_STAT_COMP_METHOD) info.compression = st.comp_method;
  if (st.valid & ZIP_STAT_ENCRYPTION_METHOD) info.encryption = st.encryption_method;
  if (st.valid & ZIP_STAT_MTIME) info.modified = FromTimeT(st.mtime);
  return info;
}

std::string ZipArchive::Comment() const {
  int length = 0;
  const char* text = zip_get_archive_comment(impl_->zip.get(), &length, 0);
  return text ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

Result<std::unique_ptr<ZipEntryReader>> ZipArchive::OpenEntry(
    std::uint64_t index, const std::optional<std::string>& password) const {
  zip_file_t* file =
      zip_fopen_index_encrypted(impl_->zip.get(), index, 0, password ? password->c_str() : nullptr);
  if (file == nullptr) return ZipFailure(zip_get_error(impl_->zip.get()));
  return std::unique_ptr<ZipEntryReader>(std::make_unique<LibzipEntryReader>(file));
}

bool ZipArchive::CanDecode(const ZipEntryInfo& entry) const {
  return zip_compression_method_supported(static_cast<zip_int32_t>(entry.compression), 0) &&
         (entry.encryption == ZIP_EM_NONE || zip_encryption_method_supported(entry.encryption, 0));
}

// --- writing ---

struct ZipWriter::Impl {
  std::deque<Bytes> data;  // libzip reads the entries' bytes when the archive is closed
  std::unique_ptr<zip_source_t, SourceFree> target;
  zip_t* zip = nullptr;  // owned until Finish closes it
  std::size_t entries = 0;

  ~Impl() {
    if (zip != nullptr) zip_discard(zip);
  }
};

ZipWriter::ZipWriter() : impl_(std::make_unique<Impl>()) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (target != nullptr) {
    zip_source_keep(target);  // read back after the archive is closed
    impl_->target.reset(target);
    impl_->zip = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (impl_->zip == nullptr) zip_source_free(target);  // drop the archive's reference
  }
  zip_error_fini(&error);
}

ZipWriter::~ZipWriter() = default;

Status ZipWriter::Add(const std::string& name, Bytes data, const ZipAddOptions& options) {
  zip_t* za = impl_->zip;
  if (za == nullptr) return ZipFailure(ZIP_ER_INTERNAL);
  const Bytes& kept = impl_->data.emplace_back(std::move(data));
  zip_source_t* source = zip_source_buffer(za, kept.data(), kept.size(), 0);
  if (source == nullptr) return ZipFailure(zip_get_error(za));
  zip_int64_t index = zip_file_add(za, name.c_str(), source, 0);
  if (index < 0) {
    zip_source_free(source);
    return ZipFailure(zip_get_error(za));
  }
  auto i = static_cast<zip_uint64_t>(index);
  zip_int32_t method = options.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
  std::uint16_t em = options.encryption == ZipEncryption::kTraditional ? ZIP_EM_TRAD_PKWARE
                     : options.encryption == ZipEncryption::kAes256    ? ZIP_EM_AES_256
                                                                       : ZIP_EM_NONE;
  if (zip_set_file_compression(za, i, method, 0) != 0 ||
      (options.modified && zip_file_set_mtime(za, i, ToTimeT(*options.modified), 0) != 0) ||
      (em != ZIP_EM_NONE && zip_file_set_encryption(za, i, em, options.password.c_str()) != 0))
    return ZipFailure(zip_get_error(za));
  ++impl_->entries;
  return {};
}

Result<Bytes> ZipWriter::Finish() {
  zip_t* za = impl_->zip;
  if (za == nullptr) return ZipFailure(ZIP_ER_INTERNAL);
  if (impl_->entries == 0) {  // libzip writes nothing for an empty archive
    zip_discard(za);
    impl_->zip = nullptr;
    Bytes empty(22, 0);  // just the end-of-directory record
    empty[0] = 'P';
    empty[1] = 'K';
    empty[2] = 5;
    empty[3] = 6;
    return empty;
  }
  if (zip_close(za) != 0) {
    Failure f = ZipFailure(zip_get_error(za));
    zip_discard(za);
    impl_->zip = nullptr;
    return f;
  }
  impl_->zip = nullptr;
  zip_source_t* target = impl_->target.get();
  zip_stat_t st;
  if (zip_source_open(target) != 0) return ZipFailure(zip_source_error(target));
  Bytes out;
  if (zip_source_stat(target, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
    out.resize(st.size);
    zip_int64_t n = zip_source_read(target, out.data(), out.size());
    if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) out.clear();
  }
  zip_source_close(target);
  if (out.empty()) return ZipFailure(ZIP_ER_READ);
  return out;
}

}  // namespace dfm
