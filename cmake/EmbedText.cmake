# Writes OUTPUT, a C++ source that defines the built-in schema text and seed rows from SCHEMA and SEED,
# so the program upgrades a restored database without the source files beside it.
function(vrn_bytes file var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()
vrn_bytes(${SCHEMA} schema)
vrn_bytes(${SEED} seed)
file(WRITE ${OUTPUT}.tmp
"// Generated from db/schema.txt and db/seed.json at build time.\n#include \"app/data/BuiltInSchema.h\"\n\n"
"namespace {\nconst char kSchema[] = {${schema}};\nconst char kSeed[] = {${seed}};\n}  // namespace\n\n"
"QByteArray BuiltInSchemaText() { return QByteArray::fromRawData(kSchema, sizeof kSchema); }\n"
"QByteArray BuiltInSeedJson() { return QByteArray::fromRawData(kSeed, sizeof kSeed); }\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
