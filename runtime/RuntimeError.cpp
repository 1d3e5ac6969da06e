// Run-time error numbers, their Italian descriptions and the mapping from errno.
#include "RuntimeError.h"

#include <cerrno>

#include "runtime/SystemText.h"

namespace orvane {

namespace {

// The descriptions as written here, in UTF-8.
const char* Description(ErrorNumber number) {
    switch (number) {
        case ErrorNumber::InvalidProcedureCall: return "Chiamata di routine o argomento non validi";
        case ErrorNumber::Overflow: return "Overflow";
        case ErrorNumber::SubscriptOutOfRange: return "Indice non compreso nell'intervallo";
        case ErrorNumber::TypeMismatch: return "Tipo non corrispondente";
        case ErrorNumber::FileNotFound: return "File non trovato";
        case ErrorNumber::FileAlreadyOpen: return "File già aperto";
        case ErrorNumber::DiskFull: return "Disco pieno";
        case ErrorNumber::PermissionDenied: return "Autorizzazione negata";
        case ErrorNumber::PathFileAccessError: return "Errore di accesso al percorso o al file";
        case ErrorNumber::PathNotFound: return "Percorso non trovato";
        case ErrorNumber::InternalError: return "Errore interno";
        case ErrorNumber::DllLoadError: return "Errore durante il caricamento della DLL";
        case ErrorNumber::DllEntryPointNotFound:
            return "Impossibile trovare il punto di ingresso della DLL";
    }
    return "Errore sconosciuto";
}

}  // namespace

std::string ErrorDescription(ErrorNumber number) { return SystemText(Description(number)); }

static std::string Compose(ErrorNumber number, const std::string& detail) {
    std::string text = "Errore di run-time " + std::to_string(static_cast<int32_t>(number)) + ": " +
                       ErrorDescription(number);
    if (!detail.empty()) text += " (" + detail + ")";
    return text;
}

RuntimeError::RuntimeError(ErrorNumber number, std::string detail)
    : std::runtime_error(Compose(number, detail)),
      number_(number),
      description_(ErrorDescription(number)),
      detail_(std::move(detail)) {}

RuntimeError FileError(int errnoValue, const std::string& path) {
    switch (errnoValue) {
        case ENOENT: return RuntimeError(ErrorNumber::FileNotFound, path);
        case ENOTDIR: return RuntimeError(ErrorNumber::PathNotFound, path);
        case EACCES:
        case EPERM:
        case EROFS: return RuntimeError(ErrorNumber::PermissionDenied, path);
#ifdef EDQUOT  // the C runtime of Windows has no disk quotas
        case EDQUOT:
#endif
        case ENOSPC: return RuntimeError(ErrorNumber::DiskFull, path);
        default: return RuntimeError(ErrorNumber::PathFileAccessError, path);
    }
}

}  // namespace orvane
