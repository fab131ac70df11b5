// The record-file library: a file of fixed-size text fields, read and written record by record.
#pragma once

#include <memory>
#include <string>

class IRecord {
public:
    // 0 on success.
    virtual long SetFieldValue(int index, const std::string& value) = 0;
    virtual long GetFieldValue(int index, std::string& value) = 0;
    // Frees a record obtained from ReadRecord or CreateNewRecord.
    virtual void Release() = 0;

protected:
    ~IRecord() = default;
};

class CFileManager {
public:
    CFileManager();
    ~CFileManager();
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;

    // 0 on success; a path where no file exists gives an empty file.
    long Open(const std::string& path);
    unsigned GetRecordCount() const;
    // Declares a field of an empty file; 0 on success.
    long SetFieldInfo(const std::string& name, unsigned size);
    // The record at that index, or null.
    IRecord* ReadRecord(int index);
    // A new empty record, or null.
    IRecord* CreateNewRecord();
    long AddRecord(IRecord* pRecord);
    long UpdateRecord(IRecord* pRecord);
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
