#pragma once

#include <string>

namespace Corvala
{

// The statements that give a data folder the system tables the server keeps in InnoDB
// (mysql.innodb_table_stats, mysql.innodb_index_stats, mysql.transaction_registry), one a line, each
// "CREATE TABLE IF NOT EXISTS" with the definitions MariaDB 10.11 makes them with. A data folder
// made without InnoDB lacks them; one that has them is left as it is.
const std::string &InnoDbSystemTablesSql();

} // namespace Corvala
