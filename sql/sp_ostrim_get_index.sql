-- Ostrim: the parts of a CREATE INDEX statement for one index.
-- Install in sybsystemprocs (or the database to browse):  isql -U sa -D sybsystemprocs -i sp_ostrim_get_index.sql
-- Usage: sp_ostrim_get_index table, index
-- One row: 1 the text before the key list ("create unique clustered index ix on t"),
-- 2 the key columns separated by commas, 3 the text after the key list, 4 the segment clause.
-- An unknown index gives no row.
if object_id("sp_ostrim_get_index") is not null
    drop procedure sp_ostrim_get_index
go
create procedure sp_ostrim_get_index @tabname varchar(255), @indname varchar(255) as
declare @id int, @indid int, @status int, @segment int, @k int, @col varchar(255),
    @keys varchar(1024), @head varchar(600), @options varchar(255), @segclause varchar(300)
select @id = object_id(@tabname)
select @indid = indid, @status = status, @segment = segment
from sysindexes
where id = @id and name = @indname and indid > 0 and indid < 255
if @indid is null
    return 1
select @k = 1
select @col = index_col(@tabname, @indid, @k)
while @col is not null
begin
    if @keys is null
        select @keys = @col
    else
        select @keys = @keys + ", " + @col
    select @k = @k + 1
    select @col = index_col(@tabname, @indid, @k)
end
select @head = "create "
    + case when @status & 2 = 2 then "unique " else null end
    + case when @indid = 1 then "clustered " else "nonclustered " end
    + "index " + @indname + " on " + @tabname
select @options = ""
select @segclause = "on " + name from syssegments where segment = @segment
select @head, @keys, @options, @segclause
return 0
go
