#include "stack/MySqlSystemTables.h"

namespace Corvala
{

const std::string &InnoDbSystemTablesSql()
{
  static const std::string sql =
      "CREATE TABLE IF NOT EXISTS mysql.innodb_table_stats (database_name VARCHAR(64) NOT NULL, table_name "
      "VARCHAR(199) NOT NULL, last_update TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE "
      "CURRENT_TIMESTAMP, n_rows BIGINT UNSIGNED NOT NULL, clustered_index_size BIGINT UNSIGNED NOT NULL, "
      "sum_of_other_index_sizes BIGINT UNSIGNED NOT NULL, PRIMARY KEY (database_name, table_name)) "
      "ENGINE=INNODB DEFAULT CHARSET=utf8mb3 COLLATE=utf8mb3_bin STATS_PERSISTENT=0;\n"
      "CREATE TABLE IF NOT EXISTS mysql.innodb_index_stats (database_name VARCHAR(64) NOT NULL, table_name "
      "VARCHAR(199) NOT NULL, index_name VARCHAR(64) NOT NULL, last_update TIMESTAMP NOT NULL DEFAULT "
      "CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP, stat_name VARCHAR(64) NOT NULL, stat_value BIGINT "
      "UNSIGNED NOT NULL, sample_size BIGINT UNSIGNED, stat_description VARCHAR(1024) NOT NULL, PRIMARY KEY "
      "(database_name, table_name, index_name, stat_name)) ENGINE=INNODB DEFAULT CHARSET=utf8mb3 "
      "COLLATE=utf8mb3_bin STATS_PERSISTENT=0;\n"
      "CREATE TABLE IF NOT EXISTS mysql.transaction_registry (transaction_id BIGINT UNSIGNED NOT NULL, "
      "commit_id BIGINT UNSIGNED NOT NULL, begin_timestamp TIMESTAMP(6) NOT NULL DEFAULT '0000-00-00 "
      "00:00:00.000000', commit_timestamp TIMESTAMP(6) NOT NULL DEFAULT '0000-00-00 00:00:00.000000', "
      "isolation_level ENUM('READ-UNCOMMITTED', 'READ-COMMITTED', 'REPEATABLE-READ', 'SERIALIZABLE') NOT "
      "NULL, PRIMARY KEY (transaction_id), UNIQUE KEY (commit_id), INDEX (begin_timestamp), INDEX "
      "(commit_timestamp, transaction_id)) ENGINE=INNODB DEFAULT CHARSET=utf8mb3 COLLATE=utf8mb3_bin "
      "STATS_PERSISTENT=0;\n";
  return sql;
}

} // namespace Corvala
