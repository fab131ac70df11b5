#include "TraceFile.h"

#include "platform/own_file.h"

TraceFile::~TraceFile() {
    Close();
}

bool TraceFile::Open() {
    if (m_pFile) return true;
    if (m_bRefused) return false;
    m_pFile = OpenOwnFileForAppend(m_strPath, m_nSize);
    m_bRefused = (m_pFile == nullptr);
    return m_pFile != nullptr;
}

void TraceFile::Close() {
    if (m_pFile) std::fclose(m_pFile);
    m_pFile = nullptr;
}

void TraceFile::Append(const std::string& line) {
    if (!Open()) return;
    // Other processes write this file too: its length is the file's own, and a file one of them
    // moved aside is left for the new one at the name.
    if (!OwnFileStillAt(m_pFile, m_strPath, m_nSize)) {
        Close();
        if (!Open()) return;
    }
    if (m_nSize > 0 && m_nSize + line.size() > kTraceFileBytes) {
        Close();
        // A file that cannot be moved aside would grow past its bound: the trace stops instead.
        if (!RenameReplacing(m_strPath, m_strPath + ".1")) {
            m_bRefused = true;
            return;
        }
        if (!Open()) return;
    }
    if (std::fwrite(line.data(), 1, line.size(), m_pFile) == line.size()) m_nSize += line.size();
    std::fflush(m_pFile);
}
