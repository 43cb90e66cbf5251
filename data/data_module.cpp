#include "data/data_module.h"

#include <utility>

#include "data/schema_check.h"

namespace kivo::data {

TData::TData(std::string database_name, OpenFailureHandler on_open_failure)
    : FDatabase(std::move(database_name)) {
    DataModuleCreate(on_open_failure);
}

void TData::DataModuleCreate(const OpenFailureHandler& on_open_failure) {
    try {
        FDatabase.Open();
        CheckDatabase(FDatabase);
    } catch (const TDISQLite3Error& error) {
        // Later actions open the file again by themselves, as they do after a failed opening.
        FDatabase.Close();
        open_failed_ = true;
        open_error_ = error.what();
        if (on_open_failure)
            on_open_failure(kOpenFailedText, kOpenFailedTitle);
    }
}

}  // namespace kivo::data
