#include "partitions/partition_record.h"
