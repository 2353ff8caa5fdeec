#pragma once

class CogTypeRegistry;

// Writes what the registry knows out for the tools, and says whether cog types document
// themselves as they load.
class CogExporter
{
public:
    explicit CogExporter(const CogTypeRegistry& types) : mTypes(types) {}
    CogExporter(const CogExporter&) = delete;
    CogExporter& operator=(const CogExporter&) = delete;

    // Writes every component type's defaults to "Components/" and the function names to
    // "FileFunctions.xml".
    void Export();
    // Cog types write "AutoDoc/<type name>.xml" as they load.
    void SetExportDocs(bool exportDocs) { mExportDocs = exportDocs; }
    bool GetExportDocs() const { return mExportDocs; }

private:
    const CogTypeRegistry& mTypes;
    bool mExportDocs = false;
};
