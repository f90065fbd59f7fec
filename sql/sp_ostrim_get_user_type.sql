-- Ostrim: the description of a user-defined datatype, one line per row.
-- Install in sybsystemprocs (or the database to browse):  isql -U sa -D sybsystemprocs -i sp_ostrim_get_user_type.sql
-- Usage: sp_ostrim_get_user_type typename
if object_id("sp_ostrim_get_user_type") is not null
    drop procedure sp_ostrim_get_user_type
go
create procedure sp_ostrim_get_user_type @typename varchar(255) as
declare @usertype int, @type int, @length int, @prec int, @scale int, @allownulls int,
    @tdefault int, @domain int, @base varchar(30), @size varchar(30)
select @usertype = usertype, @type = type, @length = length, @prec = prec, @scale = scale,
    @allownulls = allownulls, @tdefault = tdefault, @domain = domain
from systypes
where name = @typename and usertype >= 100
if @usertype is null
    return 1
select @base = name from systypes
where usertype = (select min(usertype) from systypes where type = @type and usertype < 100)
select @size = ""
if @base like "%char%" or @base like "%binary%"
    select @size = "(" + convert(varchar(10), @length) + ")"
else if @base in ("numeric", "decimal")
    select @size = "(" + convert(varchar(10), @prec) + "," + convert(varchar(10), @scale) + ")"
select detail = "Type: " + @base + @size
union all
select "Nulls: " + case when @allownulls = 1 then "null" else "not null" end
union all
select "Default: " + isnull(object_name(@tdefault), "none")
union all
select "Rule: " + isnull(object_name(@domain), "none")
return 0
go
